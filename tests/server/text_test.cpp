// Texts from a phone over loopback: kept byte for byte as .txt files named from their first
// words, and refused whole when too long, not UTF-8, blank or without access.
#include <gtest/gtest.h>

#include <set>

#include "support/file_bytes.hpp"
#include "support/server_fixture.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

Reply postText(std::uint16_t port, const std::string& text, const std::string& code = "123456") {
    return request(port, "POST /api/text?t=" + code + " HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                             std::to_string(text.size()) + "\r\n\r\n" + text);
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(Text, KeptVerbatimUnderItsFirstWordsAndRefusedWholeOtherwise) {
    TestServer server;
    std::vector<server::ReceivedFile> received;
    auto callbacks = server.server().callbacks();
    callbacks.onReceived = [&](const server::ReceivedFile& file) { received.push_back(file); };
    server.server().setCallbacks(callbacks);
    const fs::path inbox = server.folder() / "inbox";

    const std::string hostile =
        std::string("  Họp lúc 9:00 <script>alert(1)</script>\x1b[2J\u202e") +
        "\r\nhttps://a.example/x" + std::string(1, '\0') + "end";
    const std::string name = "Họp lúc 900 <script>alert(1)< script> [2J.txt";
    auto first = json(postText(server.port(), hostile));
    EXPECT_EQ(first["name"], name);
    EXPECT_EQ(first["renamed"], false);
    auto again = json(postText(server.port(), hostile));
    EXPECT_EQ(again["name"], "Họp lúc 900 <script>alert(1)< script> [2J (2).txt");
    EXPECT_EQ(again["renamed"], true);
    EXPECT_EQ(readBytes(inbox / name), hostile);
    ASSERT_TRUE(server.waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0].text, hostile);
    EXPECT_EQ(received[0].url, inbox / name);
    EXPECT_EQ(received[0].sha256, UploadClient::sha256Of(hostile));
    // The longest text there may be, and a link cut into words rather than to its last piece.
    EXPECT_EQ(json(postText(server.port(), std::string(65536, 'a')))["size"], 65536);
    EXPECT_EQ(json(postText(server.port(), "https://a.example/b/c?d=1"))["name"],
              "https a.example b c?d=1.txt");
    EXPECT_EQ(json(postText(server.port(), "...\n"))["name"], "Văn bản.txt");

    const std::set<std::string> kept = namesIn(inbox);
    const std::string notUtf8 = R"({"error":"not utf-8"})";
    // A broken sequence, an overlong slash, a surrogate.
    // clang-format off
    const std::tuple<std::string, std::string, int, std::string> refused[] = {
        {std::string(65537, 'a'), "123456", 413, R"({"error":"too large","max":65536})"},
        {"ok \xC3\x28", "123456", 400, notUtf8}, {"\xC0\xAF", "123456", 400, notUtf8},
        {"\xED\xA0\x80", "123456", 400, notUtf8},
        {" \r\n\t", "123456", 400, R"({"error":"empty"})"},
        {"hello", "654321", 403, R"({"error":"forbidden"})"}};
    // clang-format on
    for (const auto& [text, code, status, body] : refused) {
        Reply reply = postText(server.port(), text, code);
        EXPECT_EQ(reply.status, status) << body;
        EXPECT_EQ(reply.body, body) << status;
    }
    EXPECT_EQ(namesIn(inbox), kept);
    EXPECT_EQ(kept.size(), 5u) << "no part file stays behind";
    server.settle();
    EXPECT_EQ(received.size(), 5u);
}

}  // namespace
}  // namespace skiff::test
