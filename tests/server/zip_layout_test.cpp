// Where the archive layout leaves the 32-bit format: from names and sizes alone, no file bytes.
#include <gtest/gtest.h>

#include <algorithm>

#include "server/zip_layout.hpp"
#include "server/zip_plan.hpp"

namespace skiff::test {
namespace {

std::uint64_t read(const std::string& bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes.at(at + i)))
                 << (8 * i);
    return value;
}

// An archive of `count` empty files named f0, f1, ... that are not on disk.
std::vector<server::SharedFile> emptyFiles(std::size_t count) {
    std::vector<server::SharedFile> files;
    for (std::size_t i = 0; i < count; ++i)
        files.push_back({"id", "/nonexistent/skiff", "f" + std::to_string(i), 0});
    return files;
}

std::int64_t plannedTotal(const std::vector<server::SharedFile>& files) {
    return std::get<server::ZipPlan>(server::planArchive(files)).total;
}

TEST(ZipLayout, EntrySizesFromAllOnesOnAreZip64) {
    const server::DosTimestamp stamp{0x1234, 0x5678};
    struct Case {
        std::uint64_t size, offset;
    };
    for (Case c : {Case{0xFFFFFFFE, 0xFFFFFFFE}, Case{0xFFFFFFFF, 0}, Case{5ull << 30, 0xFFFFFFFF},
                   Case{7, 6ull << 30}}) {
        SCOPED_TRACE("size " + std::to_string(c.size) + ", offset " + std::to_string(c.offset));
        bool largeSize = c.size >= 0xFFFFFFFF, largeOffset = c.offset >= 0xFFFFFFFF;

        std::string local = server::localFileHeader("name", c.size, stamp);
        EXPECT_EQ(local.size(), server::localFileHeaderLength(4, c.size));
        EXPECT_EQ(read(local, 4, 2), largeSize ? 45u : 20u);
        EXPECT_EQ(read(local, 18, 4), largeSize ? 0xFFFFFFFF : c.size);
        EXPECT_EQ(read(local, 22, 4), largeSize ? 0xFFFFFFFF : c.size);
        if (largeSize) {  // both sizes in the ZIP64 field after the name
            ASSERT_EQ(local.size(), 30u + 4 + 20);
            EXPECT_EQ(read(local, 28, 2), 20u);
            EXPECT_EQ(read(local, 34, 2), 1u);
            EXPECT_EQ(read(local, 36, 2), 16u);
            EXPECT_EQ(read(local, 38, 8), c.size);
            EXPECT_EQ(read(local, 46, 8), c.size);
        } else {
            EXPECT_EQ(local.size(), 30u + 4);
        }

        std::string descriptor = server::dataDescriptor(0xCAFEF00D, c.size);
        EXPECT_EQ(descriptor.size(), server::dataDescriptorLength(c.size));
        EXPECT_EQ(descriptor.size(), largeSize ? 24u : 16u);
        EXPECT_EQ(read(descriptor, 4, 4), 0xCAFEF00Du);
        EXPECT_EQ(read(descriptor, 8, largeSize ? 8 : 4), c.size);
        EXPECT_EQ(read(descriptor, largeSize ? 16 : 12, largeSize ? 8 : 4), c.size);

        std::string central =
            server::centralDirectoryRecord("name", 0xCAFEF00D, c.size, stamp, c.offset);
        EXPECT_EQ(central.size(), server::centralDirectoryRecordLength(4, c.size, c.offset));
        EXPECT_EQ(read(central, 20, 4), largeSize ? 0xFFFFFFFF : c.size);
        EXPECT_EQ(read(central, 24, 4), largeSize ? 0xFFFFFFFF : c.size);
        EXPECT_EQ(read(central, 42, 4), largeOffset ? 0xFFFFFFFF : c.offset);
        std::size_t extra = (largeSize ? 16 : 0) + (largeOffset ? 8 : 0);
        ASSERT_EQ(central.size(), 46 + 4 + (extra ? extra + 4 : 0));
        EXPECT_EQ(read(central, 6, 2), extra ? 45u : 20u);
        if (extra) {  // only the values whose fields are all ones, sizes first
            EXPECT_EQ(read(central, 50, 2), 1u);
            EXPECT_EQ(read(central, 52, 2), extra);
            if (largeSize) {
                EXPECT_EQ(read(central, 54, 8), c.size);
                EXPECT_EQ(read(central, 62, 8), c.size);
            }
            if (largeOffset) {
                EXPECT_EQ(read(central, 54 + (largeSize ? 16 : 0), 8), c.offset);
            }
        }
    }
}

TEST(ZipLayout, Zip64EndRecordsFromThe65536thEntryOrA4GiBDirectory) {
    // 65535 entries still fit the end record (today's archives); one more needs ZIP64.
    const std::int64_t perEntry = 30 + 16 + 46;  // without the name
    std::int64_t names = 0;
    for (int i = 0; i < 65535; ++i)
        names += 2 * static_cast<std::int64_t>(std::to_string(i).size() + 1);
    EXPECT_EQ(plannedTotal(emptyFiles(65535)), 65535 * perEntry + names + 22);
    EXPECT_EQ(plannedTotal(emptyFiles(65536)), 65536 * perEntry + names + 2 * 6 + 22 + 56 + 20);

    std::string classic = server::endOfCentralDirectory(65535, 1000, 2000);
    ASSERT_EQ(classic.size(), 22u);
    EXPECT_EQ(read(classic, 8, 2), 65535u);
    EXPECT_EQ(read(classic, 12, 4), 1000u);
    EXPECT_EQ(read(classic, 16, 4), 2000u);

    struct Case {
        std::uint64_t entries, size, offset;
    };
    for (Case c :
         {Case{65536, 1000, 2000}, Case{3, 200, 0xFFFFFFFF}, Case{70000, 0xFFFFFFFF, 6ull << 30}}) {
        SCOPED_TRACE(std::to_string(c.entries) + " entries at " + std::to_string(c.offset));
        std::string end = server::endOfCentralDirectory(c.entries, c.size, c.offset);
        ASSERT_EQ(end.size(), 56u + 20 + 22);
        EXPECT_EQ(end.size(), server::endOfCentralDirectoryLength(c.entries, c.size, c.offset));
        EXPECT_EQ(read(end, 0, 4), 0x06064B50u);
        EXPECT_EQ(read(end, 4, 8), 44u);
        EXPECT_EQ(read(end, 24, 8), c.entries);
        EXPECT_EQ(read(end, 32, 8), c.entries);
        EXPECT_EQ(read(end, 40, 8), c.size);
        EXPECT_EQ(read(end, 48, 8), c.offset);
        EXPECT_EQ(read(end, 56, 4), 0x07064B50u);
        EXPECT_EQ(read(end, 64, 8), c.offset + c.size);  // where the ZIP64 end record starts
        EXPECT_EQ(read(end, 72, 4), 1u);
        // The classic record keeps what fits and says "look further" for the rest.
        EXPECT_EQ(read(end, 76, 4), 0x06054B50u);
        EXPECT_EQ(read(end, 84, 2), std::min<std::uint64_t>(c.entries, 0xFFFF));
        EXPECT_EQ(read(end, 88, 4), std::min<std::uint64_t>(c.size, 0xFFFFFFFF));
        EXPECT_EQ(read(end, 92, 4), std::min<std::uint64_t>(c.offset, 0xFFFFFFFF));
    }
}

TEST(ZipLayout, PlannedLengthsAcrossThe32BitSizeLimit) {
    const std::int64_t limit = 0xFFFFFFFF;
    // "big" (3 bytes of name) alone, then followed by "after" (5), which starts past 4 GiB.
    auto total = [](std::int64_t size, bool after) {
        std::vector<server::SharedFile> files{{"b", "/nonexistent/skiff", "big", size}};
        if (after) files.push_back({"a", "/nonexistent/skiff", "after", 1});
        return plannedTotal(files);
    };
    // Below the limit the entry stays classic, but its directory starts past the 32-bit range.
    EXPECT_EQ(total(limit - 1, false), 30 + 3 + limit - 1 + 16 + 46 + 3 + 22 + 56 + 20);
    EXPECT_EQ(total(limit, false), 50 + 3 + limit + 24 + 66 + 3 + 22 + 56 + 20);
    // An entry behind a large one carries its offset in the central record only.
    EXPECT_EQ(total(limit, true),
              50 + 3 + limit + 24 + 66 + 3 + 30 + 5 + 1 + 16 + 46 + 5 + 12 + 22 + 56 + 20);
    // A small archive is exactly what the 32-bit format always gave.
    EXPECT_EQ(total(limit - 0xFFFF, false), 30 + 3 + limit - 0xFFFF + 16 + 46 + 3 + 22);
}

}  // namespace
}  // namespace skiff::test
