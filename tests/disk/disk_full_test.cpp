// A receive folder on a small file system of its own: refusing what cannot fit, and a disk
// that fills mid-upload damaging nothing. Needs root for a private tmpfs mount; skipped
// otherwise.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/server_fixture.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

fs::path smallDisk;  // set by main when the mount worked

void fill(const fs::path& file, std::size_t leaveFree) {
    std::ofstream out(file, std::ios::binary);
    std::string block(1 << 20, 'f');
    while (fs::space(smallDisk).available > leaveFree + block.size())
        out.write(block.data(), block.size());
}

TEST(DiskFull, RefusedAtInitAndResumableAfterAFullDiskMidUpload) {
    if (smallDisk.empty()) GTEST_SKIP() << "no private tmpfs (needs root and mount namespaces)";
    TestServer server;
    server.server().setSaveDir(smallDisk / "inbox");
    UploadClient phone(server.port());

    Reply refused = phone.init("toobig1", "big.bin", 100 << 20);
    EXPECT_EQ(refused.status, 507);
    EXPECT_EQ(json(refused)["error"], "disk full");
    EXPECT_GT(json(refused)["free"].get<std::int64_t>(), 0);
    EXPECT_FALSE(fs::exists(smallDisk / "inbox" / ".toobig1.porter-part"));

    std::string content(8 << 20, 'c');
    ASSERT_EQ(phone.init("fits01", "fits.bin", static_cast<std::int64_t>(content.size())).status,
              200);
    ASSERT_EQ(phone.chunk("fits01", 0, content.substr(0, 4 << 20)).status, 200);
    fill(smallDisk / "filler", 1 << 20);  // something else takes the space meanwhile
    Reply full = phone.chunk("fits01", 4 << 20, content.substr(4 << 20));
    EXPECT_EQ(full.status, 507);
    EXPECT_EQ(full.body, R"({"error":"write failed"})");
    EXPECT_EQ(json(phone.init("fits01", "fits.bin",
                              static_cast<std::int64_t>(content.size())))["received"],
              4 << 20);

    fs::remove(smallDisk / "filler");
    EXPECT_EQ(phone.chunk("fits01", 4 << 20, content.substr(4 << 20)).status, 200);
    EXPECT_EQ(phone.finish("fits01", UploadClient::sha256Of(content)).status, 200);
    EXPECT_EQ(fs::file_size(smallDisk / "inbox" / "fits.bin"), content.size());
}

// Takes every last byte, as another program writing to the same disk would.
void fillToTheLastByte(const fs::path& file) {
    std::FILE* out = std::fopen(file.c_str(), "ab");
    ASSERT_NE(out, nullptr);
    std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), out) == block.size() &&
           std::fflush(out) == 0) {
    }
    std::fclose(out);
}

TEST(DiskFull, AFailedChunkGivesItsSpaceBackAndANoSpaceDiskRefusesInit) {
    if (smallDisk.empty()) GTEST_SKIP() << "no private tmpfs (needs root and mount namespaces)";
    TestServer server;
    server.server().setSaveDir(smallDisk / "second");
    UploadClient phone(server.port());
    std::string content(8 << 20, 'g');
    ASSERT_EQ(phone.init("gives1", "gives.bin", static_cast<std::int64_t>(content.size())).status,
              200);
    ASSERT_EQ(phone.chunk("gives1", 0, content.substr(0, 4 << 20)).status, 200);
    fill(smallDisk / "filler2", 1 << 20);
    EXPECT_EQ(phone.chunk("gives1", 4 << 20, content.substr(4 << 20)).status, 507);
    // Only the bytes the server holds stay in the part file; the rest of the disk is free again.
    EXPECT_EQ(fs::file_size(smallDisk / "second" / ".gives1.porter-part"), 4u << 20);
    EXPECT_GE(fs::space(smallDisk).available, 1u << 20);

    fillToTheLastByte(smallDisk / "filler2");
    ASSERT_EQ(fs::space(smallDisk).available, 0u);
    Reply refused = phone.init("tiny01", "tiny.txt", 10);
    EXPECT_EQ(refused.status, 507);
    EXPECT_EQ(refused.body, R"({"error":"disk full","free":0})");
    EXPECT_FALSE(fs::exists(smallDisk / "second" / ".tiny01.porter-part"));
    fs::remove(smallDisk / "filler2");
}

}  // namespace
}  // namespace skiff::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A mount namespace of our own keeps the tmpfs invisible to the rest of the machine and
    // gone when the test ends. It must be made before any thread starts.
    char pattern[] = "/tmp/skiff-disk-XXXXXX";
    if (geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 && mkdtemp(pattern) &&
        mount("tmpfs", pattern, "tmpfs", 0, "size=240m") == 0)
        skiff::test::smallDisk = pattern;
    int result = RUN_ALL_TESTS();
    if (!skiff::test::smallDisk.empty()) {
        umount2(pattern, MNT_DETACH);
        rmdir(pattern);
    }
    return result;
}
