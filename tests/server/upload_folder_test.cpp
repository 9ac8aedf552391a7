// Files from a picked or dropped folder, over loopback: the tree they arrive in, the paths
// that are refused, and what a link planted in the receive folder can do (nothing).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "server/batch_folders.hpp"
#include "server/folder_tree.hpp"
#include "support/file_bytes.hpp"
#include "support/server_fixture.hpp"
#include "support/temp_dir.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

std::string place(const std::string& path, const std::string& batch) {
    return "&path=" + UploadClient::encode(path) + "&batch=" + batch;
}

// Every entry below `folder`, as relative paths with "/" after folders.
std::set<std::string> treeOf(const fs::path& folder) {
    std::set<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = it->path().lexically_relative(folder).string();
        if (it->is_directory() && !it->is_symlink()) relative += "/";
        entries.insert(relative);
    }
    return entries;
}

class UploadFolder : public ::testing::Test {
  protected:
    TestServer server;
    UploadClient phone{server.port()};
    fs::path inbox() { return server.folder() / "inbox"; }
};

TEST_F(UploadFolder, TreeKeepsItsShapeAndATakenTopFolderIsNumberedOncePerBatch) {
    fs::create_directories(inbox() / "Ảnh");
    std::ofstream(inbox() / "Ảnh" / "old.txt") << "old";

    Reply first = phone.sendFile("fold01", "a.jpg", "AAA", 4194304, place("Ảnh/2024/", "batch01"));
    ASSERT_EQ(first.status, 200) << first.body;
    EXPECT_EQ(json(first)["path"], "Ảnh (2)/2024/");
    EXPECT_EQ(json(first)["renamed"], false);
    EXPECT_EQ(json(first)["folderRenamed"], true);
    // Later files of the batch follow its choice, the top folder itself included.
    ASSERT_EQ(phone.sendFile("fold02", "b.txt", "BB", 4194304, place("Ảnh/", "batch01")).status,
              200);
    Reply clash = phone.sendFile("fold03", "b.txt", "B2", 4194304, place("Ảnh/", "batch01"));
    EXPECT_EQ(json(clash)["name"], "b (2).txt");
    ASSERT_EQ(phone
                  .sendFile("fold04", "c.txt", "C", 4194304,
                            place("Ảnh/2024/12/", "batch01") + "&mtime=1600000000000")
                  .status,
              200);
    // Another batch of the same folder is another copy; a plain file stays at the top.
    Reply second = phone.sendFile("fold05", "d.txt", "D", 4194304, place("Ảnh", "batch02"));
    EXPECT_EQ(json(second)["path"], "Ảnh (3)/");
    Reply plain = phone.sendFile("fold06", "e.txt", "E");
    EXPECT_FALSE(json(plain).contains("path"));
    // Folder names are cleaned as file names are: NFC, no ":", no blanks around.
    Reply cleaned = phone.sendFile("fold07", "f.txt", "F", 4194304,
                                   place(" Nh\xC3\xA1p:1 /A\xCC\x81/", "b3batch"));
    EXPECT_EQ(json(cleaned)["path"], "Nháp1/Á/");
    EXPECT_EQ(json(cleaned)["folderRenamed"], false);

    EXPECT_EQ(treeOf(inbox()),
              (std::set<std::string>{
                  "Ảnh/", "Ảnh/old.txt", "Ảnh (2)/", "Ảnh (2)/2024/", "Ảnh (2)/2024/a.jpg",
                  "Ảnh (2)/2024/12/", "Ảnh (2)/2024/12/c.txt", "Ảnh (2)/b.txt", "Ảnh (2)/b (2).txt",
                  "Ảnh (3)/", "Ảnh (3)/d.txt", "e.txt", "Nháp1/", "Nháp1/Á/", "Nháp1/Á/f.txt"}));
    EXPECT_EQ(readBytes(inbox() / "Ảnh (2)" / "2024" / "a.jpg"), "AAA");
    EXPECT_EQ(readBytes(inbox() / "Ảnh" / "old.txt"), "old");
    struct stat facts {};
    ASSERT_EQ(::stat((inbox() / "Ảnh (2)" / "2024" / "12" / "c.txt").c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mtime, 1600000000);
    ASSERT_TRUE(server.waitFor([&] {
        return std::find(server.events.begin(), server.events.end(),
                         "Đã nhận \"Ảnh (2)/2024/12/c.txt\" (1 byte) từ Thiết bị · SHA-256 khớp") !=
               server.events.end();
    }));
}

TEST_F(UploadFolder, BadPathsAreRefusedBeforeAnythingIsMade) {
    std::string deep;
    for (int i = 0; i < 33; ++i) deep += "d/";
    auto bad = [](const char* reason) {
        return R"({"error":"bad path","reason":")" + std::string(reason) + "\"}";
    };
    const std::pair<std::string, std::string> cases[] = {
        {place("../x/", "batch01"), bad("dots")},
        {place("a/../b/", "batch01"), bad("dots")},
        {place("..\\x\\", "batch01"), bad("dots")},
        {place("a/ . /", "batch01"), bad("dots")},
        {place("a/.ssh/", "batch01"), bad("hidden")},
        {place(" .git/", "batch01"), bad("hidden")},
        {place("a//b/", "batch01"), bad("empty")},
        {place("/etc/", "batch01"), bad("empty")},
        {place("a/:/", "batch01"), bad("empty")},
        {place("a/NUL.txt/", "batch01"), bad("reserved")},
        {place(deep, "batch01"), R"({"error":"path too deep","max":32})"},
        {place(std::string(4097, 'x'), "batch01"), R"({"error":"path too long","max":4096})"},
        {"&path=a%2F", R"({"error":"bad params"})"},
        {place("a/", "b/1"), R"({"error":"bad params"})"},
    };
    for (const auto& [query, body] : cases) {
        Reply reply = phone.init("badpath1", "x.txt", 3, query);
        EXPECT_EQ(reply.status, 400) << query;
        EXPECT_EQ(reply.body, body) << query;
    }
    // 32 folders and 4,096 bytes are still fine.
    EXPECT_EQ(phone.init("deep0001", "x.txt", 3, place(deep.substr(2), "batch01")).status, 200);
    std::string longest = std::string(200, 'x') + "/";
    while (longest.size() + 201 <= 4096) longest += std::string(200, 'x') + "/";
    longest += std::string(4096 - longest.size(), 'y');
    EXPECT_EQ(phone.init("long0001", "x.txt", 3, place(longest, "batch01")).status, 200);
    EXPECT_EQ(treeOf(inbox()),
              (std::set<std::string>{".deep0001.porter-part", ".long0001.porter-part"}));
}

TEST_F(UploadFolder, PlantedLinksAndFilesInTheTreeAreRefusedWithNothingWrittenOutside) {
    const fs::path outside = server.folder() / "outside";
    fs::create_directories(outside);
    ASSERT_EQ(phone.sendFile("link0001", "a.txt", "A", 4194304, place("Top/", "batch01")).status,
              200);
    fs::create_directory_symlink(outside, inbox() / "Top" / "sub");
    std::ofstream(inbox() / "Top" / "file") << "in the way";

    const std::pair<std::string, std::string> blocked[] = {
        {"Top/sub/", R"({"error":"not a folder","path":"Top/sub/"})"},
        {"Top/sub/x/y/", R"({"error":"not a folder","path":"Top/sub/"})"},
        {"Top/file/", R"({"error":"not a folder","path":"Top/file/"})"},
    };
    for (const auto& [path, body] : blocked) {
        ASSERT_EQ(phone.init("link0002", "b.txt", 1, place(path, "batch01")).status, 200);
        ASSERT_EQ(phone.chunk("link0002", 0, "B").status, 200);
        Reply reply = phone.finish("link0002", UploadClient::sha256Of("B"));
        EXPECT_EQ(reply.status, 409) << path;
        EXPECT_EQ(reply.body, body) << path;
        EXPECT_EQ(phone.finish("link0002", UploadClient::sha256Of("B")).status, 404) << path;
    }
    // A top folder that is a link is simply taken: the batch gets a folder of its own.
    fs::create_directory_symlink(outside, inbox() / "Linked");
    Reply linkedTop =
        phone.sendFile("link0003", "c.txt", "C", 4194304, place("Linked/", "b2batch"));
    EXPECT_EQ(json(linkedTop)["path"], "Linked (2)/");

    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(treeOf(inbox()),
              (std::set<std::string>{"Top/", "Top/a.txt", "Top/sub", "Top/file", "Linked",
                                     "Linked (2)/", "Linked (2)/c.txt"}));
}

// Folders are made only when a file is stored, so whatever ends an upload before that leaves
// no folder behind.
TEST_F(UploadFolder, CancelledAndFailedUploadsLeaveNoFolders) {
    ASSERT_EQ(phone.init("gone0001", "a.txt", 4, place("Gone/deep/", "batch01")).status, 200);
    ASSERT_EQ(phone.chunk("gone0001", 0, "AA").status, 200);
    EXPECT_EQ(phone.cancel("gone0001").status, 200);
    EXPECT_FALSE(fs::exists(inbox() / ".gone0001.porter-part"));
    EXPECT_EQ(phone.chunk("gone0001", 2, "AA").status, 404);
    ASSERT_EQ(phone.init("gone0002", "b.txt", 1, place("Bad/sum/", "batch01")).status, 200);
    ASSERT_EQ(phone.chunk("gone0002", 0, "B").status, 200);
    EXPECT_EQ(phone.finish("gone0002", UploadClient::sha256Of("X")).status, 422);
    ASSERT_EQ(phone.init("gone0003", "c.txt", 2, place("Stop/", "batch01")).status, 200);
    ASSERT_EQ(phone.chunk("gone0003", 0, "C").status, 200);
    // Stopping closes the listener, deletes the part files and forgets their uploads.
    const std::uint16_t first = server.port();
    server.server().stop();
    EXPECT_THROW(RawClient{first}, std::runtime_error);
    EXPECT_TRUE(fs::is_empty(inbox()));
    std::uint16_t port = 0;
    server.server().start(0, [&](std::uint16_t p) { port = p; }, {});
    ASSERT_TRUE(server.waitFor([&] { return port != 0; }));
    EXPECT_EQ(UploadClient(port).chunk("gone0003", 1, "C").status, 404);
}

TEST_F(UploadFolder, ResumeInsideAFolderKeepsItsBytesAndLandsInTheBatchFolder) {
    const std::string content = "0123456789abcdefghij";
    ASSERT_EQ(phone.sendFile("res00001", "first.txt", "1", 4194304, place("R/", "batch01")).status,
              200);
    ASSERT_EQ(phone.init("res00002", "r.bin", 20, place("R/x/", "batch01")).status, 200);
    ASSERT_EQ(phone.chunk("res00002", 0, content.substr(0, 10)).status, 200);
    // The phone lost its connection and asks again: the same file in the same place resumes.
    EXPECT_EQ(json(phone.init("res00002", "r.bin", 20, place("R/x/", "batch01")))["received"], 10);
    // The same uid in another folder is another file and starts over; back again, from 0 too.
    EXPECT_EQ(json(phone.init("res00002", "r.bin", 20, place("R/y/", "batch01")))["received"], 0);
    ASSERT_EQ(phone.chunk("res00002", 0, content.substr(0, 10)).status, 200);
    EXPECT_EQ(json(phone.init("res00002", "r.bin", 20, place("R/y/", "batch01")))["received"], 10);
    ASSERT_EQ(phone.chunk("res00002", 10, content.substr(10)).status, 200);
    Reply done = phone.finish("res00002", UploadClient::sha256Of(content));
    EXPECT_EQ(json(done)["path"], "R/y/");
    EXPECT_EQ(readBytes(inbox() / "R" / "y" / "r.bin"), content);
}

TEST(BatchFolders, ABatchIsRememberedWhileInUseAndAHostCannotCrowdOutOthers) {
    using server::BatchFolders;
    BatchFolders batches;
    const auto start = BatchFolders::Clock::time_point();
    const BatchFolders::Key key{"/in", "10.0.0.1", "batch01", "Ảnh"};
    batches.remember(key, "Ảnh (2)", start);
    // Each use starts the lifetime again.
    EXPECT_EQ(batches.find(key, start + BatchFolders::lifetime), "Ảnh (2)");
    EXPECT_EQ(batches.find(key, start + 2 * BatchFolders::lifetime), "Ảnh (2)");
    EXPECT_EQ(batches.find(key, start + 3 * BatchFolders::lifetime + std::chrono::seconds(1)),
              std::nullopt);
    EXPECT_EQ(batches.find({"/in", "10.0.0.2", "batch01", "Ảnh"}, start), std::nullopt);

    batches.remember({"/in", "10.0.0.2", "other1", "A"}, "A", start);
    for (std::size_t i = 0; i < BatchFolders::perHost + 10; ++i)
        batches.remember({"/in", "10.0.0.1", "b" + std::to_string(i), "A"}, "A",
                         start + std::chrono::seconds(i));
    EXPECT_EQ(batches.size(), BatchFolders::perHost + 1);
    EXPECT_EQ(batches.find({"/in", "10.0.0.1", "b0", "A"}, start), std::nullopt) << "oldest gone";
    EXPECT_EQ(batches.find({"/in", "10.0.0.2", "other1", "A"}, start), "A");

    // Exactly one lifetime old still counts, also when another batch comes just then.
    const BatchFolders::Key late{"/in", "10.0.0.3", "late01", "B"};
    batches.remember(late, "B", start);
    batches.remember({"/in", "10.0.0.3", "late02", "C"}, "C", start + BatchFolders::lifetime);
    EXPECT_EQ(batches.find(late, start + BatchFolders::lifetime), "B");
}

TEST(FolderTree, UndoRemovesOnlyTheFoldersItMadeWhileEmpty) {
    TempDir dir;
    fs::create_directories(dir.path() / "kept");
    {
        server::FolderTree tree(dir.path());
        ASSERT_FALSE(tree.enter("kept"));
        ASSERT_FALSE(tree.enter("made"));
        ASSERT_FALSE(tree.enter("inner"));
        EXPECT_TRUE(tree.madeAny());
        tree.undo();
    }
    EXPECT_EQ(treeOf(dir.path()), (std::set<std::string>{"kept/"}));
    {
        server::FolderTree tree(dir.path());
        ASSERT_FALSE(tree.enterNew("other"));
        ASSERT_FALSE(tree.enter("inner"));
        std::ofstream(dir.path() / "other" / "someone.txt") << "x";
        tree.undo();
        EXPECT_EQ(tree.enterNew("kept"), std::errc::file_exists);
    }
    EXPECT_EQ(treeOf(dir.path()), (std::set<std::string>{"kept/", "other/", "other/someone.txt"}));
}

}  // namespace
}  // namespace skiff::test
