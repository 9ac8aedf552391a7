#include "media/thumb_key.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

void setModified(const std::filesystem::path& file, time_t seconds, long nanoseconds) {
    timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
}

TEST(ThumbKey, SpellsPathTimeSizeAndSide) {
    struct Case {
        time_t seconds;
        long nanoseconds;
        std::size_t size;
        int side;
        const char* expectedTail;
    };
    const Case cases[] = {
        {1700000000, 500000000, 5, 300, "|1700000000.5|5|300"},
        // Whole seconds keep their ".0", like an unknown time does.
        {1700000000, 0, 5, 300, "|1700000000.0|5|300"},
        {1700000000, 250000000, 0, 64, "|1700000000.25|0|64"},
        {0, 0, 12, 300, "|0.0|12|300"},
        {1, 0, 1234567, 1, "|1.0|1234567|1"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        std::filesystem::path file = dir.path() / "photo.jpg";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(c.size, 'x');
        setModified(file, c.seconds, c.nanoseconds);
        EXPECT_EQ(thumbKey(file, c.side), file.string() + c.expectedTail)
            << c.seconds << " s + " << c.nanoseconds << " ns, " << c.size << " bytes";
    }
}

TEST(ThumbKey, AnUnreadableFileHasZeroTimeAndSize) {
    test::TempDir dir;
    std::filesystem::path missing = dir.path() / "gone.png";
    EXPECT_EQ(thumbKey(missing, 300), missing.string() + "|0.0|0|300");
}

}  // namespace
}  // namespace skiff::media
