// Shared files going out: ranges, inline views, filenames, progress records and events.
#include <gtest/gtest.h>

#include <fstream>

#include "server/byte_range.hpp"
#include "server/download_headers.hpp"
#include "support/server_fixture.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(server.folder() / "k.bin", std::ios::binary) << thousand;
        std::ofstream(server.folder() / "empty.txt");
        std::ofstream(server.folder() / "clip.mp4") << "not really a movie";
        std::ofstream(server.folder() / "page.html") << "<script>alert(1)</script>";
        const fs::path at = server.folder();
        server.share({{"k1", at / "k.bin", "k.bin", 1000},
                      {"e1", at / "empty.txt", "empty.txt", 0},
                      {"v1", at / "clip.mp4", "clip.mp4", 18},
                      {"h1", at / "page.html", "page.html", 25},
                      {"g1", at / "gone.bin", "gone.bin", 5}});
    }
    Reply fetch(const std::string& id, const std::string& headers = "",
                const std::string& query = "") {
        return get(server.port(), "/api/dl/" + id + "?t=123456" + query, headers);
    }
    server::DownloadTable downloads() {
        return server.server().withTables([](auto& t) { return t.dls; });
    }

    TestServer server;
    const std::string thousand = pattern(1000);
};

TEST_F(Download, Ranges) {
    const std::tuple<std::string, std::string, int, std::string, std::size_t, std::size_t> cases[] =
        {{"k1", "", 200, "", 0, 1000},
         {"k1", "bytes=0-", 206, "bytes 0-999/1000", 0, 1000},
         {"k1", "bytes=-100", 206, "bytes 900-999/1000", 900, 100},
         {"k1", "bytes=-5000", 206, "bytes 0-999/1000", 0, 1000},
         {"k1", "bytes=500-99999", 206, "bytes 500-999/1000", 500, 500},
         {"k1", "bytes=1000-", 416, "bytes */1000", 0, 0},
         {"k1", "bytes=20-10", 416, "bytes */1000", 0, 0},
         {"k1", "bytes=0-10,20-30", 200, "", 0, 1000},
         {"k1", "bytes=5", 200, "", 0, 1000},
         {"k1", "items=0-5", 200, "", 0, 1000},
         {"k1", "bytes=99999999999999999999-", 206, "bytes 0-999/1000", 0, 1000},
         {"k1", "bytes=0-99999999999999999999", 206, "bytes 0-999/1000", 0, 1000},
         {"e1", "", 200, "", 0, 0},
         {"e1", "bytes=5", 416, "bytes */0", 0, 0},
         {"e1", "bytes=0-", 416, "bytes */0", 0, 0}};
    for (const auto& [id, range, status, contentRange, from, length] : cases) {
        Reply reply = fetch(id, range.empty() ? "" : "Range: " + range + "\r\n");
        std::string label = id + " " + range;
        EXPECT_EQ(reply.status, status) << label;
        EXPECT_EQ(reply.header("Content-Range").value_or(""), contentRange) << label;
        EXPECT_EQ(reply.header("Content-Length").value_or("0"), std::to_string(length)) << label;
        EXPECT_EQ(reply.body, thousand.substr(from, id == "k1" ? length : 0)) << label;
        EXPECT_TRUE(status == 416 || reply.header("Accept-Ranges") == "bytes") << label;
    }
}

TEST_F(Download, HeadersForDownloadsAndInlineViews) {
    Reply download = fetch("v1");
    EXPECT_EQ(download.head,
              "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 18\r\n"
              "Accept-Ranges: bytes\r\nContent-Disposition: attachment; filename=\"clip.mp4\"; "
              "filename*=UTF-8''clip%2Emp4\r\nCache-Control: no-store\r\n"
              "X-Content-Type-Options: nosniff\r\nConnection: close");
    Reply view = fetch("v1", "", "&inline=1");
    EXPECT_EQ(view.header("Content-Type"), "video/mp4");
    EXPECT_EQ(view.header("Content-Disposition").value().rfind("inline; ", 0), 0u);
    // A shared web page must never run inside the page's own origin.
    EXPECT_EQ(fetch("h1", "", "&inline=1").header("Content-Type"), "application/octet-stream");
    EXPECT_EQ(fetch("v1", "", "&inline=true").header("Content-Type"), "application/octet-stream");
    // A Vietnamese name with quotes, in both forms.
    EXPECT_EQ(server::contentDisposition("Ảnh \"đẹp\" 1.jpg", false),
              "attachment; filename=\"_nh ___p_ 1.jpg\"; "
              "filename*=UTF-8''%E1%BA%A2nh%20%22%C4%91%E1%BA%B9p%22%201%2Ejpg");
}

TEST_F(Download, ProgressRecordsPerHostAndEvents) {
    const std::string phone = "User-Agent: Mozilla/5.0 (iPhone; CPU iPhone OS 17_0)\r\n";
    ASSERT_EQ(fetch("k1", phone).status, 200);
    ASSERT_TRUE(server.waitDone("k1"));
    auto record = downloads()["k1"]["127.0.0.1"];
    EXPECT_EQ(std::to_string(record.sent) + record.device + record.kind, "1000iPhoneiphone");
    ASSERT_TRUE(server.waitForEvent("Đã gửi xong \"k.bin\""));
    EXPECT_EQ(server.eventCount("Đang gửi \"k.bin\" tới 127.0.0.1"), 1u);

    // A second device gets its own record; a later partial fetch never undoes "done".
    Reply other = request(server.port(),
                          "GET /api/dl/k1?t=123456 HTTP/1.1\r\nRange: bytes=0-9\r\n\r\n", true);
    ASSERT_EQ(other.status, 206);
    ASSERT_TRUE(server.waitFor([&] { return downloads()["k1"].count("::1") == 1; }));
    EXPECT_FALSE(downloads()["k1"]["::1"].done);
    EXPECT_EQ(fetch("k1", "Range: bytes=0-9\r\n").status, 206);
    server.settle();
    EXPECT_TRUE(downloads()["k1"]["127.0.0.1"].done);

    // The empty file is delivered whole at once; views inside the page are not downloads.
    ASSERT_EQ(fetch("e1").status, 200);
    ASSERT_TRUE(server.waitDone("e1"));
    ASSERT_EQ(fetch("v1", "", "&inline=1").status, 200);
    server.settle();
    EXPECT_EQ(downloads().count("v1"), 0u);
}

TEST_F(Download, MissingFilesAndThumbnails) {
    EXPECT_EQ(fetch("g1").status, 410);
    EXPECT_EQ(fetch("g1").body, R"({"error":"gone"})");
    EXPECT_EQ(fetch("nope").status, 404);
    EXPECT_EQ(get(server.port(), "/api/thumb/k1?t=123456").body, R"({"error":"not found"})");
}

TEST_F(Download, FileShorterThanAnnouncedIsNeverMarkedDone) {
    std::string big = pattern(64 << 20);
    std::ofstream(server.folder() / "big.bin", std::ios::binary) << big;
    server.share({{"b1", server.folder() / "big.bin", "big.bin", 64 << 20}});
    RawClient client(server.port());
    client.send("GET /api/dl/b1?t=123456 HTTP/1.1\r\n\r\n");
    std::string raw = client.readAtLeast(1000);  // begun; now shrunk while the phone is slow
    fs::resize_file(server.folder() / "big.bin", 1000);
    raw += client.readAll();
    Reply reply = parseReply(raw);
    EXPECT_EQ(reply.header("Content-Length"), std::to_string(big.size()));
    EXPECT_LT(reply.body.size(), big.size());
    server.settle();
    EXPECT_EQ(server.eventCount("Đã gửi xong \"big.bin\""), 0u);
    EXPECT_FALSE(downloads()["b1"]["127.0.0.1"].done);
}

}  // namespace
}  // namespace skiff::test
