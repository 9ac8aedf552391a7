// The upload protocol end to end over loopback, checked against the files it leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>
#include <thread>

#include "server/file_names.hpp"
#include "server/upload.hpp"
#include "support/file_bytes.hpp"
#include "support/server_fixture.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

std::string randomBytes(std::size_t size, unsigned seed = 7) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(c));
    return text;
}
std::string sha(const std::string& bytes) {
    return UploadClient::sha256Of(bytes);
}

class Upload : public ::testing::Test {
  protected:
    TestServer server;
    UploadClient phone{server.port()};
    fs::path inbox() { return server.folder() / "inbox"; }
    fs::path part(const std::string& uid) { return inbox() / ("." + uid + ".porter-part"); }
    std::string saved(const Reply& reply) {
        return readBytes(inbox() / json(reply)["name"].get<std::string>());
    }
    void stage(const std::string& uid, const std::string& name, std::int64_t size,
               const std::string& bytes) {
        ASSERT_EQ(phone.init(uid, name, size).status, 200) << uid;
        ASSERT_EQ(phone.chunk(uid, 0, bytes).status, 200) << uid;
    }
};

TEST_F(Upload, BodyLimits) {
    ASSERT_EQ(phone.init("limit1", "big.bin", 16777216).status, 200);
    EXPECT_EQ(phone.chunk("limit1", 0, std::string(16777216, 'z')).body,
              R"({"received":16777216})");
    for (std::string length : {"16777217", "12a", "-1", "+5", "99999999999999999999", ""}) {
        std::string head = "POST /api/up/chunk?t=123456&uid=limit1&offset=0 HTTP/1.1\r\n";
        if (!length.empty()) head += "Content-Length: " + length + "\r\n";
        Reply reply = request(server.port(), head + "\r\n");
        EXPECT_EQ(std::to_string(reply.status) + reply.body,
                  length == "16777217" ? R"(413{"error":"chunk too large"})"
                                       : R"(411{"error":"length required"})")
            << length;
    }
}

TEST_F(Upload, ZeroByteFileAndBytesAfterTheBody) {
    ASSERT_EQ(phone.init("empty1", "empty.txt", 0).body,
              R"({"chunk":4194304,"received":0,"uid":"empty1"})");
    EXPECT_EQ(phone.chunk("empty1", 0, "").body, R"({"received":0})");
    EXPECT_EQ(phone.finish("empty1", sha("")).status, 200);
    EXPECT_EQ(fs::file_size(inbox() / "empty.txt"), 0u);
    EXPECT_FALSE(fs::exists(part("empty1")));

    ASSERT_EQ(phone.init("extra1", "a.txt", 5).status, 200);
    Reply reply = request(server.port(), chunkRequest("extra1", 0, "hello") + "EXTRA BYTES");
    EXPECT_EQ(reply.body, R"({"received":5})");
    EXPECT_EQ(saved(phone.finish("extra1", sha("hello"))), "hello");
}

TEST_F(Upload, MultiChunkFileArrivesWholeWithItsDateAndReports) {
    std::string content = randomBytes(10 * 1024 * 1024 + 17);
    Reply done = phone.sendFile("multi1", "video.bin", content, 4194304, "&mtime=1700000000123");
    EXPECT_EQ(json(done)["sha256"], sha(content)) << done.body;
    EXPECT_EQ(readBytes(inbox() / "video.bin"), content);
    struct stat info {};
    ASSERT_EQ(stat((inbox() / "video.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1700000000);  // milliseconds became seconds
    EXPECT_NEAR(info.st_mtim.tv_nsec / 1e6, 123, 1);
    EXPECT_TRUE(server.waitForEvent("Đã nhận \"video.bin\" (10,5 MB) từ Thiết bị · SHA-256 khớp"));
}

// Every uid travels in plain text: another admitted phone may not touch it.
TEST_F(Upload, AnotherHostCannotTouchAnUpload) {
    std::string content = randomBytes(3000);
    stage("owned1", "o.bin", 3000, content.substr(0, 1000));
    UploadClient other(server.port());
    other.sendFrom("127.0.0.2");
    for (const Reply& reply :
         {other.init("owned1", "o.bin", 3000), other.init("owned1", "evil.bin", 5),
          other.chunk("owned1", 1000, content.substr(1000, 1000)),
          other.finish("owned1", sha(content))})
        EXPECT_EQ(reply.body, R"({"error":"unknown upload"})");
    EXPECT_EQ(other.cancel("owned1").status, 200);  // as for a uid that never was
    EXPECT_EQ(readBytes(part("owned1")), content.substr(0, 1000));
    ASSERT_EQ(phone.chunk("owned1", 1000, content.substr(1000)).status, 200);
    EXPECT_EQ(saved(phone.finish("owned1", sha(content))), content);
}

// A phone that lost a finish's answer may start over with the same uid during that finish.
TEST_F(Upload, FinishRacingInitOrFinishNeverSavesWrongBytes) {
    std::string content = randomBytes(8 << 20, 3);
    for (int trial = 0; trial < 5; ++trial) {
        std::string uid = "racefin" + std::to_string(trial);
        stage(uid, "r.bin", static_cast<std::int64_t>(content.size()), content);
        Reply finished, other;
        bool init = trial % 2 == 0;
        std::thread finisher([&] { finished = phone.finish(uid, sha(content)); });
        other = init ? phone.init(uid, "r.bin", 1) : phone.finish(uid, sha(content));
        finisher.join();
        bool won = finished.status == 200, otherWon = other.status == 200;
        EXPECT_TRUE(!won || saved(finished) == content);
        EXPECT_TRUE(init || !otherWon || saved(other) == content);
        // Exactly one finish saves; an init may only win a finish that did not.
        EXPECT_TRUE(init ? won || otherWon : won != otherWon)
            << finished.body << " / " << other.body;
        phone.cancel(uid);
    }
}

TEST_F(Upload, HostileInitsAndTamperedPartFiles) {
    // A link planted under a part name is replaced, never written through.
    fs::create_directories(inbox());
    fs::path victim = server.folder() / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, part("plant01"));
    EXPECT_EQ(saved(phone.sendFile("plant01", "p.txt", "payload")), "payload");
    EXPECT_EQ(readBytes(victim), "precious");
    for (const char* date : {"&mtime=1e300", "&mtime=-5"})
        EXPECT_EQ(phone.init("date01", "d.txt", 1, date).body, R"({"error":"bad params"})");
    EXPECT_EQ(phone.init("huge01", "h.bin", 214748364801).body,
              R"({"error":"too large","max":214748364800})");

    // The digest covers the bytes as they came; a part file changed since is never called safe.
    stage("tamper1", "t.txt", 4, "abcd");
    fs::resize_file(part("tamper1"), 1);
    EXPECT_EQ(phone.finish("tamper1", sha("abcd")).body, R"({"error":"save failed"})");
    EXPECT_FALSE(fs::exists(inbox() / "t.txt"));
    EXPECT_FALSE(fs::exists(part("tamper1")));

    // A chunk the disk refuses is answered so, and leaves the upload free for the retry.
    ASSERT_EQ(phone.init("wfail1", "w.txt", 4).status, 200);
    fs::remove(part("wfail1"));
    fs::create_directory(part("wfail1"));
    EXPECT_EQ(phone.chunk("wfail1", 0, "abcd").body, R"({"error":"write failed"})");
    fs::remove(part("wfail1"));
    std::ofstream{part("wfail1")};
    EXPECT_EQ(phone.chunk("wfail1", 0, "abcd").body, R"({"received":4})");
}

TEST_F(Upload, DroppedConnectionsAtAnyPointLoseNothing) {
    std::string content = randomBytes(3 << 20, 11);
    const auto size = static_cast<std::int64_t>(content.size());
    const std::string first = content.substr(0, 1 << 20);
    auto received = [&] { return json(phone.init("drop01", "drop.bin", size))["received"]; };
    ASSERT_EQ(received(), 0);
    {  // mid-body: the phone leaves the Wi-Fi halfway through the chunk
        RawClient client(server.port());
        std::string whole = chunkRequest("drop01", 0, first);
        client.send(whole.substr(0, whole.size() - first.size() / 2));
        client.shutdownWrite();
        EXPECT_EQ(client.readAll(), "");  // dropped without an answer
    }
    EXPECT_EQ(received(), 0);
    // The answer is lost; the phone retries the same chunk and learns what is held.
    RawClient(server.port()).send(chunkRequest("drop01", 0, first));
    ASSERT_TRUE(server.waitFor([&] {
        return server.server().withTables(
                   [](auto& t) { return t.uploads.at("drop01")->received; }) == 1 << 20;
    }));
    EXPECT_EQ(phone.chunk("drop01", 0, first).body, R"({"error":"offset","received":1048576})");
    EXPECT_EQ(received(), 1 << 20);
    ASSERT_EQ(phone.chunk("drop01", 1 << 20, content.substr(1 << 20)).status, 200);
    EXPECT_EQ(saved(phone.finish("drop01", sha(content))), content);
}

TEST_F(Upload, ChunkRulesLeaveThePartFileAlone) {
    stage("rules1", "x.bin", 10, "abcd");
    const std::string crcUpper = upper(UploadClient::crc32Of("efgh")), wrong = "00000000",
                      none = "", atFour = R"(,"received":4})";
    // clang-format off
    using Row = std::tuple<std::string, std::int64_t, std::string, const std::string*, std::string>;
    const Row cases[] = {  // the answer's status, then its body
        {"rules1", 0, "efgh", nullptr, R"(409{"error":"offset")" + atFour},
        {"rules1", 8, "ij", nullptr, R"(409{"error":"offset")" + atFour},
        {"rules1", 4, "efgh", &wrong, R"(422{"error":"chunk hash mismatch")" + atFour},
        {"rules1", 4, "efgh", &none, R"(422{"error":"chunk hash mismatch")" + atFour},
        {"rules1", 4, "efghijk", nullptr, R"(400{"error":"beyond size"})"},
        {"nobody", 0, "a", nullptr, R"(404{"error":"unknown upload"})"},
        {"rules1", 4, "efgh", &crcUpper, R"(200{"received":8})"}};
    // clang-format on
    for (const auto& [uid, offset, body, crc, answer] : cases) {
        Reply reply = phone.chunk(uid, offset, body, crc);
        EXPECT_EQ(std::to_string(reply.status) + reply.body, answer);
    }
    EXPECT_EQ(readBytes(part("rules1")), "abcdefgh");
    for (const char* query : {"uid=rules1", "uid=abc&offset=0"}) {
        Reply reply = request(server.port(), "POST /api/up/chunk?t=123456&" + std::string(query) +
                                                 " HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
        EXPECT_EQ(reply.body, R"({"error":"bad params"})") << query;
    }
}

TEST_F(Upload, FinishRules) {
    stage("finish1", "f.txt", 4, "ab");
    EXPECT_EQ(phone.finish("finish1", sha("abcd")).body, R"({"error":"incomplete","received":2})");
    ASSERT_EQ(phone.chunk("finish1", 2, "cd").status, 200);
    Reply mismatch = phone.finish("finish1", sha("abcx"));
    EXPECT_EQ(std::to_string(mismatch.status) + json(mismatch)["sha256"].get<std::string>(),
              "422" + sha("abcd"));
    EXPECT_FALSE(fs::exists(part("finish1")) || fs::exists(inbox() / "f.txt"));
    EXPECT_EQ(phone.finish("finish1", sha("abcd")).status, 404);

    // Upper-case digests match; a second finish after success finds nothing.
    stage("finish2", "f.txt", 4, "abcd");
    EXPECT_EQ(phone.finish("finish2", upper(sha("abcd"))).status, 200);
    EXPECT_EQ(phone.finish("finish2", upper(sha("abcd"))).status, 404);
    EXPECT_EQ(phone.cancel("never-was").body, R"({"ok":true})");
}

// Names that clash, in turn or at the same moment, are numbered and never overwrite.
TEST_F(Upload, ClashingNamesGetTheNextFreeNumber) {
    fs::create_directories(inbox());
    std::ofstream(inbox() / "a.jpg") << "old";
    std::ofstream(inbox() / "a (2).jpg") << "old2";
    auto first = json(phone.sendFile("clash1", "a.jpg", "new"));
    EXPECT_EQ(first["name"], "a (3).jpg");
    EXPECT_EQ(first["renamed"], true);
    EXPECT_EQ(json(phone.sendFile("clash2", "a (2).jpg", "newer"))["name"], "a (4).jpg");
    EXPECT_EQ(readBytes(inbox() / "a.jpg"), "old");
    EXPECT_EQ(readBytes(inbox() / "a (2).jpg"), "old2");

    std::vector<Reply> replies(6);  // six finishes of one name at once
    for (int i = 0; i < 6; ++i)
        stage("same" + std::to_string(i) + "xx", "same.txt", 1, std::string(1, 'a' + i));
    std::vector<std::thread> senders;
    for (int i = 0; i < 6; ++i)
        senders.emplace_back([&, i] {
            replies[i] = phone.finish("same" + std::to_string(i) + "xx", sha({char('a' + i)}));
        });
    for (auto& s : senders) s.join();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(saved(replies[i]), std::string(1, 'a' + i));
}

TEST_F(Upload, ConcurrentChunksForOneUploadNeverBothWrite) {
    std::string content = randomBytes(4 << 20);
    ASSERT_EQ(phone.init("race01", "race.bin", 4 << 20).status, 200);
    std::vector<std::thread> racers;
    std::vector<int> statuses(4);
    for (int i = 0; i < 4; ++i)
        racers.emplace_back([&, i] { statuses[i] = phone.chunk("race01", 0, content).status; });
    for (auto& r : racers) r.join();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), 1);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 409), 3);
    EXPECT_EQ(saved(phone.finish("race01", sha(content))), content);
}

// A phone sends its next chunk the moment an answer's body ends: the upload must be free by then.
TEST_F(Upload, TheNextChunkRightAfterAnAnswerIsTaken) {
    const int chunks = 1000;
    ASSERT_EQ(phone.init("quick1", "quick.bin", chunks).status, 200);
    std::string content;
    for (int i = 0; i < chunks; ++i) {
        content += static_cast<char>('a' + i % 26);
        RawClient client(server.port());
        client.send(chunkRequest("quick1", i, content.substr(i)));
        std::string answer = client.readAtLeast(1);
        for (std::string more = "-"; answer.find('}') == std::string::npos && !more.empty();)
            answer += more = client.readAtLeast(1);
        ASSERT_EQ(parseReply(answer).status, 200) << "chunk " << i << ": " << answer;
    }
    EXPECT_EQ(phone.finish("quick1", sha(content)).status, 200);
}

// A chunk whose head came before the one ahead was written must be hashed again once it holds.
TEST_F(Upload, AChunkSentBeforeTheOneAheadIsWrittenStillCounts) {
    const std::string first = randomBytes(1 << 20, 1), second = randomBytes(1 << 20, 2);
    ASSERT_EQ(phone.init("early1", "early.bin", 2 << 20).status, 200);
    RawClient early(server.port());
    std::string late = chunkRequest("early1", 1 << 20, second);
    early.send(late.substr(0, late.size() - 700000));
    // Not a timing check: lets the server read the early head first.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(phone.chunk("early1", 0, first).status, 200);
    early.send(late.substr(late.size() - 700000));
    EXPECT_EQ(parseReply(early.readAll()).status, 200);
    EXPECT_EQ(saved(phone.finish("early1", sha(first + second))), first + second);
}

TEST(FileNames, Cleaning) {
    std::string viet;
    for (int i = 0; i < 82; ++i) viet += "ệ";
    // Decomposed letters are composed; never a hidden file.
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"..\\..\\x.txt", "x.txt"}, {"C:evil", "Cevil"}, {".hidden", "hidden"}, {" .. ", "file"},
        {"", "file"}, {"a/b/c.png", "c.png"}, {"tab\there\x01.txt", "tabhere.txt"},
        {"dir/", "file"}, {"\t name.txt  ", "name.txt"}, {"x\x7F.txt", "x.txt"},
        {". .bashrc", "bashrc"}, {"e\xCC\x81.txt", "\xC3\xA9.txt"}};
    // clang-format on
    for (auto [raw, cleaned] : cases) EXPECT_EQ(server::cleanFileName(raw), cleaned) << raw;
    EXPECT_EQ(server::cleanFileName(std::string(300, 'n')), std::string(150, 'n'));
    EXPECT_EQ(server::cleanFileName(std::string("e\0\xCC\x81.txt", 8)), "\xC3\xA9.txt");
    EXPECT_EQ(server::cleanFileName(viet + "  x"), viet);
}

}  // namespace
}  // namespace skiff::test
