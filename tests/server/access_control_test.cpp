// Session code, lockout and device approval, over real connections.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <thread>

#include "server/local_network.hpp"
#include "server/secure_random.hpp"
#include "server/session_code.hpp"
#include "support/raw_client.hpp"
#include "support/server_fixture.hpp"

namespace skiff::test {
namespace {

const std::string iphone =
    "User-Agent: Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X) AppleWebKit/605.1.15\r\n";

int statusOf(TestServer& server, const std::string& target, const std::string& headers = "") {
    return get(server.port(), target, headers).status;
}

// A request for `target` from the loopback address `host`, or from ::1 when it is null.
Reply from(TestServer& server, const char* host, const std::string& target = "/api/pin?t=123456") {
    return request(server.port(), "GET " + target + " HTTP/1.1\r\n\r\n", !host, host);
}

TEST(Access, TheCodeAloneAdmitsAndTheQueryWinsOverTheHeader) {
    TestServer server;
    // Header values are trimmed, query values are not.
    // clang-format off
    const std::tuple<std::string, std::string, int> cases[] = {
        {"/api/pin?t=123456", iphone, 200}, {"/api/pin", "X-Pin: 123456\r\n", 200},
        {"/api/pin", "X-Pin:   123456  \r\n", 200}, {"/api/pin?t=123456%20", "", 403},
        {"/api/pin?t=000000", "X-Pin: 123456\r\n", 403}, {"/api/pin?t=", "X-Pin: 123456\r\n", 403},
        {"/api/pin?t=12345", "", 403}, {"/api/pin?t=1234567", "", 403}, {"/api/pin", "", 403}};
    // clang-format on
    for (const auto& [target, headers, status] : cases)
        EXPECT_EQ(statusOf(server, target, headers), status) << target << " " << headers;
    // Without approval the code alone admits; an IPv6 peer is a host of its own.
    EXPECT_EQ(from(server, nullptr).status, 200);
    ASSERT_TRUE(server.waitFor([&] { return server.devices.size() == 2; }));
    EXPECT_EQ(server.devices[0].host, "127.0.0.1");
    EXPECT_EQ(server.devices[0].name, "iPhone");
    EXPECT_EQ(server.devices[1].host, "::1");
}

TEST(Access, WrongCodesLockTheHostUntilTheCodeChanges) {
    TestServer server;
    for (int i = 1; i <= 10; ++i) {
        Reply reply = get(server.port(), "/api/nothing-here?t=000000");
        ASSERT_EQ(reply.status, 403) << "attempt " << i;  // unknown paths count as wrong too
        EXPECT_EQ(reply.body, R"({"error":"forbidden"})");
    }
    Reply locked = get(server.port(), "/api/pin?t=123456");
    EXPECT_EQ(locked.status, 429);
    EXPECT_EQ(locked.body, R"({"error":"locked"})");
    EXPECT_EQ(statusOf(server, "/"), 200);  // the page itself is never locked
    EXPECT_TRUE(server.waitForEvent(
        "Khoá tạm 127.0.0.1: nhập sai mã quá nhiều lần — bấm \"Đổi mã\" để mở lại"));
    EXPECT_EQ(server.server().withTables([](auto& t) { return t.totalFailures; }), 10);  // not 11

    server.server().regenerateToken();
    EXPECT_EQ(statusOf(server, "/api/pin?t=" + server.server().token()), 200);
}

TEST(Access, FiftyWrongCodesOverAllHostsLockEveryNewcomer) {
    TestServer server;
    // A phone let in before the guessing (over IPv6: another host) keeps working.
    ASSERT_EQ(from(server, nullptr).status, 200);
    server.server().mutateTables([](server::ServerTables& t) {
        t.failures["192.168.1.7"] = 9;
        t.totalFailures = 50;
    });
    EXPECT_EQ(statusOf(server, "/api/pin?t=123456"), 429);
    EXPECT_EQ(from(server, nullptr).status, 200);
    // So does one approved but not yet back with its first admitted request.
    server.server().mutateTables(
        [](server::ServerTables& t) { t.approvals["127.0.0.2"] = server::Approval::allowed; });
    EXPECT_EQ(from(server, "127.0.0.2").status, 200);
}

TEST(Access, ApprovalFlowWithOneQuestionForConcurrentFirstRequests) {
    TestServer::Options options;
    options.askApproval = true;
    TestServer server(options);
    std::vector<std::thread> phones;
    std::vector<Reply> replies(8);
    for (std::size_t i = 0; i < replies.size(); ++i)
        phones.emplace_back(
            [&, i] { replies[i] = get(server.port(), "/api/files?t=123456", iphone); });
    for (auto& p : phones) p.join();
    for (const Reply& reply : replies)
        EXPECT_EQ(
            std::to_string(reply.status) + reply.body,
            R"(428{"code":")" + server.server().pairCode("127.0.0.1") + R"(","error":"pending"})");
    ASSERT_TRUE(server.waitFor([&] { return server.approvals.size() == 1; }));
    server.settle();
    EXPECT_EQ(server.approvals.size(), 1u);
    EXPECT_EQ(server.approvals[0].host + " " + server.approvals[0].label, "127.0.0.1 iPhone");
    EXPECT_TRUE(server.devices.empty());

    server.approvals[0].decide(false);
    EXPECT_EQ(get(server.port(), "/api/files?t=123456", iphone).body, R"({"error":"denied"})");

    server.approvals[0].decide(true);  // a later answer overrides
    EXPECT_EQ(statusOf(server, "/api/files?t=123456", iphone), 200);
    EXPECT_EQ(statusOf(server, "/api/pin?t=123456", iphone), 200);
    ASSERT_TRUE(server.waitFor([&] { return server.devices.size() == 1; }));
    server.settle();
    EXPECT_EQ(server.devices.size(), 1u);  // announced once

    // A new code forgets the approval: the phone is asked about again with a new pairing code.
    server.server().regenerateToken();
    Reply again = get(server.port(), "/api/files?t=" + server.server().token(), iphone);
    EXPECT_EQ(again.status, 428);
    EXPECT_NE(again.body.find(server.server().pairCode("127.0.0.1")), std::string::npos);
}

TEST(Access, WaitingRequestsGetDrawnCodesAndAtMostThreeWait) {
    TestServer::Options options;
    options.askApproval = true;
    TestServer server(options);
    auto ask = [&](const char* host) { return from(server, host, "/api/files?t=123456"); };
    auto codeFor = [&](const char* host) {
        Reply reply = ask(host);
        EXPECT_EQ(reply.status, 428) << host;
        return nlohmann::json::parse(reply.body, nullptr, false).value("code", "");
    };
    std::set<std::string> codes;
    for (const char* host : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) {
        std::string code = codeFor(host);
        EXPECT_EQ(code.size() == 4 ? code : "", server.server().pairCode(host));
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), 3u);  // two requests that look alike on the computer cannot both wait

    // A fourth newcomer is turned away without a prompt or a trace in the tables.
    Reply fourth = ask("127.0.0.4");
    EXPECT_EQ(fourth.body, R"({"error":"busy"})");
    EXPECT_TRUE(fourth.header("Retry-After"));
    server.settle();
    EXPECT_EQ(server.approvals.size(), 3u);
    EXPECT_FALSE(server.server().withTables(
        [](const server::ServerTables& t) { return t.approvals.count("127.0.0.4") > 0; }));
    server.approvals[0].decide(false);
    EXPECT_EQ(ask("127.0.0.4").status, 428);

    // The same session code and host give a fresh draw each time: nothing a peer knows fixes it.
    std::set<std::string> redraws;
    for (int round = 0; round < 6; ++round) {
        server.server().regenerateToken();
        server.server().mutateTables([](server::ServerTables& t) { t.token = "123456"; });
        redraws.insert(codeFor("127.0.0.1"));
    }
    EXPECT_GT(redraws.size(), 1u);

    // An answer from before the new code is ignored.
    std::size_t asked = server.approvals.size();
    server.approvals[asked - 2].decide(true);
    EXPECT_EQ(ask("127.0.0.1").status, 428);
}

TEST(SecureRandom, SixDigitCodesAndHex) {
    std::set<char> seen[6];
    for (int i = 0; i < 4000; ++i) {
        std::string code = server::makeSessionCode();
        ASSERT_EQ(code.size(), 6u) << code;  // a leading zero is kept
        for (int p = 0; p < 6; ++p) seen[p].insert(code[p]);
    }
    for (const auto& digits : seen)
        EXPECT_EQ(std::string(digits.begin(), digits.end()), "0123456789");
    EXPECT_EQ(server::groupedCode("012345"), "012 345");
    std::string hex = server::randomHex(512);
    ASSERT_EQ(hex.size(), 1024u);
    std::set<char> halves[2];
    for (std::size_t i = 0; i < hex.size(); ++i) halves[i % 2].insert(hex[i]);
    for (const auto& half : halves)  // a digit is missing from 512 draws at odds of 1e-14
        EXPECT_EQ(std::string(half.begin(), half.end()), "0123456789abcdef");
}

TEST(LocalNetwork, WhoCountsAsLocalAndHowAPeerIsWritten) {
    for (const char* host :
         {"::ffff:192.168.1.20", "[fe80::1%en0]", "10.1.2.3", "127.0.0.1", "172.16.0.1",
          "172.31.255.255", "::1", "fd00::1234", "169.254.3.4", "fc00::1", "::FFFF:10.0.0.1"})
        EXPECT_TRUE(server::isLocalHost(host)) << host;
    for (const char* host :
         {"100.64.1.1", "172.15.255.255", "172.32.0.1", "169.253.1.1", "192.169.0.1", "fec0::1",
          "2001:db8::1", "", "phone.local", "8.8.8.8", "::ffff:8.8.8.8", "::"})
        EXPECT_FALSE(server::isLocalHost(host)) << host;
    EXPECT_EQ(server::hostText("::ffff:192.168.1.20") + server::hostText("fe80::1%eth0") +
                  server::hostText("::1") + server::hostText("10.0.0.2"),
              "192.168.1.20fe80::1::110.0.0.2");
}

}  // namespace
}  // namespace skiff::test
