// The route table and the small JSON endpoints.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "media/sample_video.hpp"
#include "server/computer_name.hpp"
#include "support/raw_client.hpp"
#include "support/server_fixture.hpp"
#include "web/phone_page.hpp"

namespace skiff::test {
namespace {

const std::string android =
    "User-Agent: Mozilla/5.0 (Linux; Android 13; SM-S918B) AppleWebKit/537.36 (KHTML, like "
    "Gecko) Chrome/116.0.0.0 Mobile Safari/537.36\r\n";

int failures(TestServer& server) {
    return server.server().withTables([](auto& t) { return t.totalFailures; });
}

TEST(Routes, PageAndIconsNeedNoCode) {
    TestServer server;
    const std::string page(web::phonePage()), notFound = R"({"error":"not found"})";
    // The body, when it is not the forbidden answer; the wrong codes counted so far.
    // The query is not looked at; HEAD is not the page, so through access control.
    // clang-format off
    const std::tuple<std::string, int, std::string, int> cases[] = {
        {"GET / HTTP/1.1", 200, page, 0}, {"GET /index.html HTTP/1.1", 200, page, 0},
        {"GET /?t=000000 HTTP/1.1", 200, page, 0}, {"GET /favicon.ico HTTP/1.1", 404, "", 0},
        {"POST /apple-touch-icon.png HTTP/1.1", 404, "", 0}, {"HEAD / HTTP/1.1", 403, "", 1},
        {"POST /?t=123456 HTTP/1.1", 404, notFound, 1}, {"GET /secret HTTP/1.1", 403, "", 2},
        {"POST /api/files?t=123456 HTTP/1.1", 404, notFound, 2},
        {"GET /api/dl/?t=123456 HTTP/1.1", 404, notFound, 2}};
    // clang-format on
    for (const auto& [head, status, body, failuresAfter] : cases) {
        Reply reply = request(server.port(), head + "\r\nHost: x\r\n\r\n");
        EXPECT_EQ(reply.status, status) << head;
        EXPECT_TRUE(status == 403 || reply.body == body) << head;
        EXPECT_TRUE(!body.empty() || status != 404 || reply.header("Content-Type") == "text/plain");
        EXPECT_EQ(failures(server), failuresAfter) << head;
    }
}

TEST(Routes, PinAndFilesGreetThePhone) {
    TestServer server;
    Reply reply = get(server.port(), "/api/pin?t=123456", android);
    EXPECT_EQ(reply.header("Content-Type"), "application/json; charset=utf-8");
    using nlohmann::json;
    const std::string mac = server::computerName();
    EXPECT_EQ(json::parse(reply.body), json::parse(R"({"ok":true,"mac":")" + mac +
                                                   R"(","you":{"kind":"android","name":)"
                                                   R"("Điện thoại Android · SM-S918B"}})"));
    auto files = [&] { return json::parse(get(server.port(), "/api/files?t=123456").body); };
    EXPECT_EQ(files(), json::parse(R"({"files":[],"texts":[],"chunk":4194304,"mac":")" + mac +
                                   R"(","you":{"kind":"other","name":"Thiết bị"}})"));
    server.server().setFirewall("ufw");
    EXPECT_EQ(files()["firewall"], "ufw");
}

TEST(Routes, FilesListsKindsThumbsAndOwnProgress) {
    TestServer server;
    auto folder = server.folder();
    ASSERT_TRUE(test::makeSampleVideo(folder / "clip.mp4"));
    std::ofstream(folder / "notes") << "x";
    server.share({{"a1", folder / "clip.mp4", "clip.mp4", 100},
                  {"b2", folder / "notes", "notes", 1},
                  {"c3", folder / "scan.pdf", "scan.pdf", 2},
                  {"d4", folder / "IMG_1.HEIC", "IMG_1.HEIC", 3},
                  {"e5", folder / "bad\xff.txt", "bad\xff.txt", 4}});  // not valid UTF-8
    server.server().mutateTables([&](server::ServerTables& t) {
        t.dls["b2"]["127.0.0.1"] = {"b2", "127.0.0.1", "Thiết bị", "other", 1, 1, true};
        t.dls["c3"]["192.168.1.9"] = {"c3", "192.168.1.9", "iPhone", "iphone", 2, 2, true};
    });

    auto files = nlohmann::json::parse(get(server.port(), "/api/files?t=123456").body)["files"];
    std::string shown;
    for (const auto& file : files)
        shown += file["id"].get<std::string>() + " " + file["kind"].get<std::string>() +
                 (file["thumb"] == true ? "+ " : " ");
    EXPECT_EQ(shown, "a1 video+ b2 file c3 file+ d4 image+ e5 file ");
    EXPECT_EQ(files[4]["name"], "bad\xEF\xBF\xBD.txt");
    // Each phone sees only its own downloads.
    EXPECT_EQ(files[1]["got"], 1);
    EXPECT_EQ(files[1]["done"], true);
    EXPECT_FALSE(files[2].contains("got") || files[2].contains("done"));
}

}  // namespace
}  // namespace skiff::test
