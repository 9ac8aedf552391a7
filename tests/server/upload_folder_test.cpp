// Files from a picked or dropped folder: their tree, refused paths, and planted links.
#include <gtest/gtest.h>

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

std::string place(const std::string& path, const std::string& batch = "batch01") {
    return "&path=" + UploadClient::encode(path) + "&batch=" + batch;
}

// Relative paths below `folder`, with "/" after folders.
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
    Reply send(const std::string& uid, const std::string& name, const std::string& content,
               const std::string& query) {
        return phone.sendFile(uid, name, content, 4194304, query);
    }
};

TEST_F(UploadFolder, TreeKeepsItsShapeAndATakenTopFolderIsNumberedOncePerBatch) {
    fs::create_directories(inbox() / "Ảnh");
    std::ofstream(inbox() / "Ảnh" / "old.txt") << "old";

    auto first = json(send("fold01", "a.jpg", "AAA", place("Ảnh/2024/")));
    EXPECT_EQ(first["path"], "Ảnh (2)/2024/");
    EXPECT_EQ(first["renamed"], false);
    EXPECT_EQ(first["folderRenamed"], true);
    // Later files of the batch follow its choice, the top folder itself included.
    ASSERT_EQ(send("fold02", "b.txt", "BB", place("Ảnh/")).status, 200);
    EXPECT_EQ(json(send("fold03", "b.txt", "B2", place("Ảnh/")))["name"], "b (2).txt");
    ASSERT_EQ(send("fold04", "c.txt", "C", place("Ảnh/2024/12/")).status, 200);
    // Another batch of the same folder is another copy; a plain file stays at the top.
    EXPECT_EQ(json(send("fold05", "d.txt", "D", place("Ảnh", "batch02")))["path"], "Ảnh (3)/");
    EXPECT_FALSE(json(phone.sendFile("fold06", "e.txt", "E")).contains("path"));
    // Folder names are cleaned as file names are: NFC, no ":", no blanks around.
    auto cleaned =
        json(send("fold07", "f.txt", "F", place(" Nh\xC3\xA1p:1 /A\xCC\x81/", "b3batch")));
    EXPECT_EQ(cleaned["path"], "Nháp1/Á/");
    EXPECT_EQ(cleaned["folderRenamed"], false);

    EXPECT_EQ(treeOf(inbox()),
              (std::set<std::string>{
                  "Ảnh/", "Ảnh/old.txt", "Ảnh (2)/", "Ảnh (2)/2024/", "Ảnh (2)/2024/a.jpg",
                  "Ảnh (2)/2024/12/", "Ảnh (2)/2024/12/c.txt", "Ảnh (2)/b.txt", "Ảnh (2)/b (2).txt",
                  "Ảnh (3)/", "Ảnh (3)/d.txt", "e.txt", "Nháp1/", "Nháp1/Á/", "Nháp1/Á/f.txt"}));
    EXPECT_EQ(readBytes(inbox() / "Ảnh (2)" / "2024" / "a.jpg"), "AAA");
    EXPECT_TRUE(server.waitForEvent(
        "Đã nhận \"Ảnh (2)/2024/12/c.txt\" (1 byte) từ Thiết bị · SHA-256 khớp"));
}

TEST_F(UploadFolder, BadPathsAreRefusedBeforeAnythingIsMade) {
    std::string deep;
    for (int i = 0; i < 33; ++i) deep += "d/";
    std::vector<std::pair<std::string, std::string>> cases = {
        {place(deep), R"({"error":"path too deep","max":32})"},
        {place(std::string(4097, 'x')), R"({"error":"path too long","max":4096})"},
        {"&path=a%2F", R"({"error":"bad params"})"},
        {place("a/", "b/1"), R"({"error":"bad params"})"}};
    // clang-format off
    for (auto [reason, paths] :
         std::initializer_list<std::pair<const char*, std::vector<const char*>>>{
             {"dots", {"../x/", "a/../b/", "..\\x\\", "a/ . /"}}, {"hidden", {"a/.ssh/", " .git/"}},
             {"empty", {"a//b/", "/etc/", "a/:/"}}, {"reserved", {"a/NUL.txt/"}}})
        // clang-format on
        for (const char* path : paths)
            cases.push_back(
                {place(path), R"({"error":"bad path","reason":")" + std::string(reason) + "\"}"});
    for (const auto& [query, body] : cases) {
        Reply reply = phone.init("badpath1", "x.txt", 3, query);
        EXPECT_EQ(reply.status, 400) << query;
        EXPECT_EQ(reply.body, body) << query;
    }
    // 32 folders and 4,096 bytes are still fine.
    EXPECT_EQ(phone.init("deep0001", "x.txt", 3, place(deep.substr(2))).status, 200);
    std::string longest = std::string(200, 'x') + "/";
    while (longest.size() + 201 <= 4096) longest += std::string(200, 'x') + "/";
    longest += std::string(4096 - longest.size(), 'y');
    EXPECT_EQ(phone.init("long0001", "x.txt", 3, place(longest)).status, 200);
    EXPECT_EQ(treeOf(inbox()),
              (std::set<std::string>{".deep0001.porter-part", ".long0001.porter-part"}));
}

TEST_F(UploadFolder, PlantedLinksAndFilesInTheTreeAreRefusedWithNothingWrittenOutside) {
    const fs::path outside = server.folder() / "outside";
    fs::create_directories(outside);
    ASSERT_EQ(send("link0001", "a.txt", "A", place("Top/")).status, 200);
    fs::create_directory_symlink(outside, inbox() / "Top" / "sub");
    std::ofstream(inbox() / "Top" / "file") << "in the way";

    for (auto [path, shown] : {std::pair{"Top/sub/", "Top/sub/"},
                               {"Top/sub/x/y/", "Top/sub/"},
                               {"Top/file/", "Top/file/"}}) {
        Reply reply = send("link0002", "b.txt", "B", place(path));
        EXPECT_EQ(reply.status, 409) << path;
        EXPECT_EQ(reply.body, R"({"error":"not a folder","path":")" + std::string(shown) + "\"}");
        EXPECT_EQ(phone.finish("link0002", UploadClient::sha256Of("B")).status, 404) << path;
    }
    // A top folder that is a link is simply taken: the batch gets a folder of its own.
    fs::create_directory_symlink(outside, inbox() / "Linked");
    EXPECT_EQ(json(send("link0003", "c.txt", "C", place("Linked/", "b2batch")))["path"],
              "Linked (2)/");

    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(treeOf(inbox()),
              (std::set<std::string>{"Top/", "Top/a.txt", "Top/sub", "Top/file", "Linked",
                                     "Linked (2)/", "Linked (2)/c.txt"}));
}

// Folders are made only when a file is stored: an upload ended before leaves none.
TEST_F(UploadFolder, CancelledAndFailedUploadsLeaveNoFolders) {
    ASSERT_EQ(phone.init("gone0001", "a.txt", 4, place("Gone/deep/")).status, 200);
    ASSERT_EQ(phone.chunk("gone0001", 0, "AA").status, 200);
    EXPECT_EQ(phone.cancel("gone0001").status, 200);
    EXPECT_FALSE(fs::exists(inbox() / ".gone0001.porter-part"));
    EXPECT_EQ(phone.chunk("gone0001", 2, "AA").status, 404);
    ASSERT_EQ(phone.init("gone0002", "b.txt", 1, place("Bad/sum/")).status, 200);
    ASSERT_EQ(phone.chunk("gone0002", 0, "B").status, 200);
    EXPECT_EQ(phone.finish("gone0002", UploadClient::sha256Of("X")).status, 422);
    ASSERT_EQ(phone.init("gone0003", "c.txt", 2, place("Stop/")).status, 200);
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
    ASSERT_EQ(send("res00001", "first.txt", "1", place("R/")).status, 200);
    auto received = [&](const char* path) {
        return json(phone.init("res00002", "r.bin", 20, place(path)))["received"];
    };
    ASSERT_EQ(received("R/x/"), 0);
    for (int at = 0; at < 10; at += 5)
        ASSERT_EQ(phone.chunk("res00002", at, content.substr(at, 5)).status, 200);
    // Asked again after a lost connection, the same file in the same place resumes.
    EXPECT_EQ(received("R/x/"), 10);
    EXPECT_EQ(fs::file_size(inbox() / ".res00002.porter-part"), 10u);
    EXPECT_TRUE(server.waitForEvent("Nối tiếp \"r.bin\" từ 10 byte"));
    EXPECT_EQ(json(phone.init("res00002", "r.bin", 21, place("R/x/")))["received"], 0);
    // Another size or another folder is another file and starts over.
    EXPECT_EQ(received("R/y/"), 0);
    ASSERT_EQ(phone.chunk("res00002", 0, content.substr(0, 10)).status, 200);
    EXPECT_EQ(received("R/y/"), 10);
    ASSERT_EQ(phone.chunk("res00002", 10, content.substr(10)).status, 200);
    Reply done = phone.finish("res00002", UploadClient::sha256Of(content));
    EXPECT_EQ(json(done)["path"], "R/y/");
    EXPECT_EQ(readBytes(inbox() / "R" / "y" / "r.bin"), content);
}

TEST(BatchFolders, ABatchIsRememberedWhileInUseAndAHostCannotCrowdOutOthers) {
    using server::BatchFolders;
    BatchFolders batches;
    const auto start = BatchFolders::Clock::time_point();
    const auto life = BatchFolders::lifetime;
    const BatchFolders::Key key{"/in", "10.0.0.1", "batch01", "Ảnh"};
    batches.remember(key, "Ảnh (2)", start);
    EXPECT_EQ(batches.find(key, start + life), "Ảnh (2)");  // each use starts the lifetime again
    EXPECT_EQ(batches.find(key, start + 2 * life), "Ảnh (2)");
    EXPECT_EQ(batches.find(key, start + 3 * life + std::chrono::seconds(1)), std::nullopt);
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
    batches.remember({"/in", "10.0.0.3", "late02", "C"}, "C", start + life);
    EXPECT_EQ(batches.find(late, start + life), "B");
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
