// The streamed archive, checked by real archive readers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "server/sha256.hpp"
#include "server/zip_plan.hpp"
#include "support/server_fixture.hpp"
#include "support/shell_output.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

class Zip : public ::testing::Test {
  protected:
    Zip() { setenv("TZ", "UTC", 1), tzset(); }  // archive dates are local time
    ~Zip() override { unsetenv("TZ"), tzset(); }
    fs::path write(const std::string& name, const std::string& content) {
        fs::path folder = server.folder() / "files" / std::to_string(counter++);
        fs::create_directories(folder);
        std::ofstream(folder / name, std::ios::binary) << content;
        return folder / name;
    }
    void share(const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<server::SharedFile> shared;
        for (const auto& [name, content] : files)
            shared.push_back({"id" + std::to_string(shared.size()), write(name, content), name,
                              static_cast<std::int64_t>(content.size())});
        server.share(shared);
    }
    fs::path download(Reply* reply = nullptr, const std::string& headers = "") {
        Reply got = get(server.port(), "/api/zip?t=123456", headers);
        fs::path archive = server.folder() / "got.zip";
        std::ofstream(archive, std::ios::binary) << got.body;
        if (reply) *reply = got;
        return archive;
    }
    // Names, flag bits, sizes and dates, once every CRC is checked.
    std::string inspect(const fs::path& archive) {
        return shellOutput(
            "python3 -c \"import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\n"
            "assert z.testzip() is None\nfor i in z.infolist(): "
            "print(i.filename, hex(i.flag_bits), i.file_size, i.date_time)\" '" +
            archive.string() + "'");
    }

    // The archive's raw answer, with `change` made once its head has come.
    Reply fetchChanging(const std::function<void()>& change) {
        RawClient client(server.port());
        client.send("GET /api/zip?t=123456 HTTP/1.1\r\n\r\n");
        std::string raw = client.readAtLeast(1000);
        change();
        return parseReply(raw + client.readAll());
    }

    TestServer server;
    int counter = 0;
};

TEST_F(Zip, NamesAreUniqueWithoutRegardToCase) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const char* name :
         {"Photo.JPG", "photo.jpg", "photo (2).jpg", "README", "README", "README", ".profile",
          ".profile", "a.tar.gz", "a.tar.gz", "Ảnh đẹp.png", "ẢNH ĐẸP.png", "end.", "end."})
        files.push_back({name, std::string(files.size() + 1, 'x')});
    share(files);
    Reply reply;
    fs::path archive = download(&reply);
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Content-Length"), std::to_string(reply.body.size()));
    EXPECT_EQ(reply.header("Content-Disposition"), "attachment; filename=\"Skiff.zip\"");
    std::string listing = "\n" + inspect(archive);
    for (std::string name :
         {"Photo.JPG ", "photo (2).jpg ", "photo (2) (2).jpg ", "README ", "README (2) ",
          "README (3) ", ".profile ", ".profile (2) ", "a.tar.gz ", "a.tar (2).gz ", "Ảnh đẹp.png ",
          "ẢNH ĐẸP (2).png ", "end. ", "end. (2) "})
        EXPECT_NE(listing.find("\n" + name), std::string::npos) << name << "\n" << listing;
    int status = 0;
    shellOutput("unzip -tq '" + archive.string() + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(server.waitDone("id0") && server.waitDone("id13"));  // progress for every file
    ASSERT_TRUE(server.waitForEvent("Đã gửi xong file .zip"));
    EXPECT_EQ(server.eventCount("Đang gửi 14 file dạng .zip tới 127.0.0.1"), 1u);
}

// The exact bytes readers open, with a numbered duplicate, an empty file and one past a block.
TEST_F(Zip, SmallArchivesKeepTheirBytes) {
    std::string pattern;
    for (int i = 0; i < 600000; ++i) pattern += static_cast<char>(i * 7 % 251);
    share({{"Ảnh đẹp.png", "viet"}, {"a.txt", ""}, {"A.TXT", "xyz"}, {"big.bin", pattern}});
    for (int i = 0; i < 4; ++i) {
        fs::path folder = server.folder() / "files" / std::to_string(i);
        struct timespec times[2] = {{1700000000 + i * 86461, 0}, {1700000000 + i * 86461, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, fs::directory_iterator(folder)->path().c_str(), times, 0), 0);
    }
    Reply reply;
    download(&reply);
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body.size(), 600471u);
    EXPECT_EQ(server::sha256Hex(reply.body),
              "bd35f13fd4ea71487e7b568e5afda40fa3a31c8e5cc3e79cc1a1337b64d8673f");
}

TEST_F(Zip, DatesBefore1980AndRangesIgnored) {
    share({{"old.txt", "old"}});
    fs::path file = server.folder() / "files" / "0" / "old.txt";
    struct timespec times[2] = {{171331200, 0}, {171331200 + 3661, 0}};  // 1975-06-07 01:01:01
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    Reply reply;
    fs::path archive = download(&reply, "Range: bytes=100-\r\n");
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(inspect(archive).find("(1980, 6, 7, 1, 1, 0)"), std::string::npos)
        << inspect(archive);
    EXPECT_EQ(server::dosTimestamp(5000000000).date >> 9, 127);  // 2128: the last year there is
}

TEST_F(Zip, OnlyAnEmptySelectionIsRefused) {
    Reply none = get(server.port(), "/api/zip?t=123456");
    EXPECT_EQ(std::pair(none.status, none.body),
              std::pair(404, std::string(R"({"error":"no files"})")));
    // Larger than the upload cap: left out, so nothing is left.
    server.share({{"huge", server.folder() / "missing", "huge.bin", 214748364801}});
    EXPECT_EQ(get(server.port(), "/api/zip?t=123456").status, 404);
}

// Remembered CRCs are reused only while the file is unchanged (same size, rewritten in place).
TEST_F(Zip, RememberedChecksumsFollowTheFiles) {
    std::string content(9 << 20, 'a');
    share({{"same.bin", content}});
    std::string first = get(server.port(), "/api/zip?t=123456").body;
    EXPECT_EQ(get(server.port(), "/api/zip?t=123456").body, first);
    content[5 << 20] = 'b';
    std::ofstream(server.folder() / "files" / "0" / "same.bin", std::ios::binary) << content;
    fs::path archive = download();
    EXPECT_NE(inspect(archive).find("same.bin 0x808 9437184"), std::string::npos);
}

TEST_F(Zip, AFileThatGrowsIsCutAtItsPlannedSize) {
    share({{"big.bin", std::string(40 << 20, 'g')}, {"grow.bin", "abc"}});
    Reply reply = fetchChanging([&] {
        std::ofstream(server.folder() / "files" / "1" / "grow.bin", std::ios::app) << "more";
    });
    ASSERT_EQ(reply.body.size(), std::stoull(reply.header("Content-Length").value()));
    fs::path archive = server.folder() / "grown.zip";
    std::ofstream(archive, std::ios::binary) << reply.body;
    EXPECT_NE(inspect(archive).find("grow.bin 0x808 3 "), std::string::npos);
}

// An archive the phone could not use is never reported as sent.
TEST_F(Zip, AFileThatShrinksEndsTheBodyEarly) {
    share({{"shrink.bin", std::string(40 << 20, 's')}, {"after.txt", "a"}});
    Reply reply =
        fetchChanging([&] { fs::resize_file(server.folder() / "files" / "0" / "shrink.bin", 10); });
    EXPECT_LT(reply.body.size(), std::stoull(reply.header("Content-Length").value()));
    ASSERT_TRUE(server.waitFor([&] {
        return server.server().withTables(
            [](auto& t) { return t.dls.count("id0") && t.dls.at("id0").count("127.0.0.1"); });
    }));
    server.settle();
    EXPECT_EQ(server.eventCount("Đã gửi xong file .zip"), 0u);
}

}  // namespace
}  // namespace skiff::test
