// The transport as a phone sees it: real sockets on loopback, responses compared byte for byte.
#include <gtest/gtest.h>

#include <thread>

#include "server/connection.hpp"
#include "server/io_pool.hpp"
#include "support/raw_client.hpp"
#include "support/server_fixture.hpp"
#include "web/phone_page.hpp"

namespace skiff::test {
namespace {

using namespace std::chrono_literals;

TestServer::Options shortTimeouts() {
    TestServer::Options options;
    options.limits.idleTimeout = 700ms;
    options.limits.drainTimeout = 3s;
    return options;
}

// Literal bytes: the status line's reason and the headers every answer carries.
std::string framed(const std::string& status, const std::string& type, std::string_view text) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(text.size()) +
           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
           "X-Frame-Options: DENY\r\nReferrer-Policy: no-referrer\r\nConnection: close\r\n\r\n" +
           std::string(text);
}

TEST(Transport, PageFramedByteForByteOnBothFamilies) {
    TestServer server;
    for (bool ipv6 : {false, true})
        EXPECT_EQ(exchange(server.port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n", ipv6),
                  framed("200 OK", "text/html; charset=utf-8", web::phonePage()))
            << ipv6;
}

TEST(Transport, HeadLimitAndMalformedHeads) {
    TestServer server(shortTimeouts());
    const std::string tooLarge = framed("431 Header Too Large", "text/plain", "header too large");
    const std::string badRequest = framed("400 Bad Request", "text/plain", "bad request");
    // "": closed without an answer once this side stopped sending.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"one byte past the limit", "GET /" + std::string(32764, 'a'), tooLarge},
        {"exactly the limit, then close", "GET /" + std::string(32763, 'a'), ""},
        {"only a method", "GET\r\n\r\n", badRequest},
        {"stray percent", "GET /%x HTTP/1.1\r\n\r\n", badRequest},
        {"bare line feeds then close", "GET / HTTP/1.1\nHost: x\n\n", ""}};
    for (const auto& [name, bytes, expected] : cases) {
        RawClient client(server.port());
        client.send(bytes);
        if (expected.empty()) client.shutdownWrite();
        EXPECT_EQ(client.readAll(), expected) << name;
    }
}

// Silent or half-sent connections go at the idle timeout, a head trickling in at its deadline.
TEST(Transport, SlowConnectionsAreClosedAtTheirDeadlines) {
    TestServer::Options options = shortTimeouts();
    options.limits.headTimeout = 1500ms;
    TestServer server(options);
    RawClient silent(server.port());
    RawClient halfHead(server.port());
    halfHead.send("GET /api/pin?t=123456 HTTP/1.1\r\nHost:");
    RawClient halfBody(server.port());
    halfBody.send(
        "POST /api/up/chunk?t=123456&uid=abcdef&offset=0 HTTP/1.1\r\nContent-Length: 100\r\n\r\n"
        "0123456789");
    RawClient trickle(server.port());
    auto started = std::chrono::steady_clock::now();
    bool closed = false;
    for (int i = 0; i < 40 && !closed; ++i)
        closed = !trickle.send("a") || trickle.waitClosed(300ms);
    EXPECT_TRUE(closed);
    auto lasted = std::chrono::steady_clock::now() - started;
    EXPECT_GE(lasted, 1400ms);
    EXPECT_LT(lasted, 5s);
    EXPECT_TRUE(silent.waitClosed(5s));
    EXPECT_TRUE(halfHead.waitClosed(5s));
    EXPECT_TRUE(halfBody.waitClosed(5s));
    EXPECT_EQ(get(server.port(), "/").status, 200);  // the server still answers others
}

// An answer sent before the body was read must not be lost in a connection reset.
TEST(Transport, EarlyAnswerToALargeBodyIsDelivered) {
    TestServer server;
    RawClient client(server.port());
    std::string body(4 << 20, 'x');
    client.send("POST /api/up/chunk?t=999999&uid=abcdef&offset=0 HTTP/1.1\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n");
    std::thread sender([&] { client.send(body); });
    std::string raw = client.readAll();
    sender.join();
    Reply reply = parseReply(raw);
    EXPECT_EQ(reply.status, 403);
    EXPECT_EQ(reply.body, R"({"error":"forbidden"})");
    EXPECT_FALSE(client.wasReset());
}

// Ctrl-C during an upload: the body handler holding its connection must not keep it alive.
TEST(Transport, AConnectionAwaitingABodyIsFreedWithItsEventLoop) {
    std::weak_ptr<server::Connection> watched;
    {
        asio::io_context context;
        asio::ip::tcp::acceptor acceptor(context, {asio::ip::make_address("127.0.0.1"), 0});
        asio::ip::tcp::socket phone(context);
        phone.connect(acceptor.local_endpoint());
        auto connection =
            std::make_shared<server::Connection>(acceptor.accept(), server::ServerLimits{});
        watched = connection;
        connection->readBody(100, "", [connection](server::BodyBuffer) {});
        context.run_for(50ms);  // the read now waits for bytes that never come
        ASSERT_FALSE(watched.expired());
    }
    EXPECT_TRUE(watched.expired());
}

TEST(Transport, StartFailsWhenTheFolderCannotBeMade) {
    server::MainLoop loop;
    server::IoPool pool(1);
    std::error_code reported;  // on the calling thread, at once
    server::FileServer::create(pool, "/proc/skiff-cannot-exist", "123456",
                               [&](std::function<void()> t) { loop.post(t); })
        ->start(0, {}, [&](std::error_code error) { reported = error; });
    EXPECT_TRUE(reported);
}

}  // namespace
}  // namespace skiff::test
