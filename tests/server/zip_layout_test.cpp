// Where the archive layout leaves the 32-bit format: from names and sizes alone, no file bytes.
#include <gtest/gtest.h>

#include <algorithm>

#include "server/zip_layout.hpp"
#include "server/zip_plan.hpp"

namespace skiff::test {
namespace {

struct Field {
    std::size_t at, width;
    std::uint64_t value;
};

// Each little-endian field of `record` at its offset, reported by offset when it differs.
void expectFields(const std::string& record, std::initializer_list<Field> fields) {
    for (const Field& field : fields) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < field.width; ++i)
            value |= std::uint64_t{static_cast<unsigned char>(record.at(field.at + i))} << (8 * i);
        EXPECT_EQ(value, field.value) << "field at " << field.at;
    }
}

std::int64_t plannedTotal(const std::vector<server::SharedFile>& files) {
    return std::get<server::ZipPlan>(server::planArchive(files)).total;
}

TEST(ZipLayout, EntrySizesFromAllOnesOnAreZip64) {
    const server::DosTimestamp stamp{0x1234, 0x5678};
    const std::uint64_t ones = 0xFFFFFFFF;
    for (auto [size, offset] : {std::pair<std::uint64_t, std::uint64_t>{ones - 1, ones - 1},
                                {ones, 0},
                                {5ull << 30, ones},
                                {7, 6ull << 30}}) {
        SCOPED_TRACE("size " + std::to_string(size) + ", offset " + std::to_string(offset));
        bool largeSize = size >= ones, largeOffset = offset >= ones;
        std::uint64_t small = largeSize ? ones : size;

        std::string local = server::localFileHeader("name", size, stamp);
        EXPECT_EQ(local.size(), server::localFileHeaderLength(4, size));
        ASSERT_EQ(local.size(), 30u + 4 + (largeSize ? 20 : 0));
        expectFields(local, {{4, 2, largeSize ? 45u : 20u}, {18, 4, small}, {22, 4, small}});
        if (largeSize)  // both sizes in the ZIP64 field after the name
            expectFields(local,
                         {{28, 2, 20}, {34, 2, 1}, {36, 2, 16}, {38, 8, size}, {46, 8, size}});

        std::string descriptor = server::dataDescriptor(0xCAFEF00D, size);
        EXPECT_EQ(descriptor.size(), server::dataDescriptorLength(size));
        ASSERT_EQ(descriptor.size(), largeSize ? 24u : 16u);
        std::size_t width = largeSize ? 8 : 4;
        expectFields(descriptor, {{4, 4, 0xCAFEF00D}, {8, width, size}, {8 + width, width, size}});

        std::string central =
            server::centralDirectoryRecord("name", 0xCAFEF00D, size, stamp, offset);
        EXPECT_EQ(central.size(), server::centralDirectoryRecordLength(4, size, offset));
        std::size_t extra = (largeSize ? 16 : 0) + (largeOffset ? 8 : 0);
        ASSERT_EQ(central.size(), 46 + 4 + (extra ? extra + 4 : 0));
        expectFields(central, {{6, 2, extra ? 45u : 20u},
                               {20, 4, small},
                               {24, 4, small},
                               {42, 4, largeOffset ? ones : offset}});
        if (extra)  // only the values whose fields are all ones, sizes first expectFields(central,
                    // {{50, 2, 1}, {52, 2, extra}});
            if (largeSize) expectFields(central, {{54, 8, size}, {62, 8, size}});
        if (largeOffset) expectFields(central, {{54 + (largeSize ? 16u : 0u), 8, offset}});
    }
}

TEST(ZipLayout, Zip64EndRecordsFromThe65536thEntryOrA4GiBDirectory) {
    // 65535 empty files f0, f1, ... still fit the end record; one more needs ZIP64.
    std::vector<server::SharedFile> files;
    for (int i = 0; i < 65536; ++i)
        files.push_back({"id", "/nonexistent/skiff", "f" + std::to_string(i), 0});
    const std::int64_t perEntry = 30 + 16 + 46;  // without the name
    std::int64_t names = 0;
    for (int i = 0; i < 65535; ++i)
        names += 2 * static_cast<std::int64_t>(std::to_string(i).size() + 1);
    EXPECT_EQ(plannedTotal(files), 65536 * perEntry + names + 2 * 6 + 22 + 56 + 20);
    files.pop_back();
    EXPECT_EQ(plannedTotal(files), 65535 * perEntry + names + 22);

    std::string classic = server::endOfCentralDirectory(65535, 1000, 2000);
    ASSERT_EQ(classic.size(), 22u);
    expectFields(classic, {{8, 2, 65535}, {12, 4, 1000}, {16, 4, 2000}});
    struct Case {
        std::uint64_t entries, size, offset;
    };
    for (Case c :
         {Case{65536, 1000, 2000}, {3, 200, 0xFFFFFFFF}, {70000, 0xFFFFFFFF, 6ull << 30}}) {
        SCOPED_TRACE(std::to_string(c.entries) + " entries at " + std::to_string(c.offset));
        std::string end = server::endOfCentralDirectory(c.entries, c.size, c.offset);
        ASSERT_EQ(end.size(), 56u + 20 + 22);
        EXPECT_EQ(end.size(), server::endOfCentralDirectoryLength(c.entries, c.size, c.offset));
        // The ZIP64 end record, its locator (pointing at the record), then the classic record
        // keeping what fits and saying "look further" for the rest.
        // clang-format off
        expectFields(end, {{0, 4, 0x06064B50}, {4, 8, 44}, {24, 8, c.entries}, {32, 8, c.entries},
                           {40, 8, c.size}, {48, 8, c.offset}, {56, 4, 0x07064B50},
                           {64, 8, c.offset + c.size}, {72, 4, 1}, {76, 4, 0x06054B50},
                           {84, 2, std::min<std::uint64_t>(c.entries, 0xFFFF)},
                           {88, 4, std::min<std::uint64_t>(c.size, 0xFFFFFFFF)},
                           {92, 4, std::min<std::uint64_t>(c.offset, 0xFFFFFFFF)}});
        // clang-format on
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
