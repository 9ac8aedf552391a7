#include "server/request_parser.hpp"

#include <gtest/gtest.h>

namespace skiff::server {
namespace {

const std::string sample =
    "POST /api/up/chunk?uid=abcdef&offset=0 HTTP/1.1\r\nHost: 10.0.0.2:5000\r\n"
    "Content-Length: 4\r\nX-CRC32:  89abcdef \r\n\r\nbody";

// Splitting a message at every byte must give the same head and rest as one receive.
TEST(HeadReader, SameResultForEverySplit) {
    for (std::size_t cut = 0; cut <= sample.size(); ++cut) {
        HeadReader reader;
        auto first = reader.feed(std::string_view(sample).substr(0, cut));
        auto result = first == HeadReader::Result::complete
                          ? first
                          : reader.feed(std::string_view(sample).substr(cut));
        ASSERT_EQ(result, HeadReader::Result::complete) << "cut at " << cut;
        // The rest: the body bytes that came with the receive that completed the head.
        std::size_t fed = first == HeadReader::Result::complete ? cut : sample.size();
        EXPECT_EQ(reader.rest(), sample.substr(sample.size() - 4, fed - (sample.size() - 4)))
            << "cut at " << cut;
        EXPECT_EQ(reader.head().size(), sample.size() - 8) << "cut at " << cut;
    }
}

TEST(ParseRequest, TargetHeadersAndQuery) {
    auto request = parseRequest(
        "GET /a%20b/c?x=1&x=2&y&n%C3%A1me=v%C3%A0+l HTTP/1.1\r\nUser-Agent:  phone \t\r\n"
        "X-Pin:\xE2\x80\x83"
        "123456\xC2\xA0\r\nHost : spaced\r\nno colon line\r\nEmpty:\r\n"
        "Dup: 1\r\ndup: 2");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->path, "/a b/c");
    EXPECT_EQ(request->rawPath, "/a%20b/c?x=1&x=2&y&n%C3%A1me=v%C3%A0+l");
    // A plus sign is not a space; Unicode spaces are trimmed too.
    auto& q = request->query;
    EXPECT_EQ(q.at("x") + "|" + q.at("y") + "|" + q.at("náme"), "2||và+l");
    auto& h = request->headers;
    EXPECT_EQ(h.at("user-agent") + "|" + h.at("x-pin") + "|" + h.at("host ") + "|" + h.at("empty") +
                  "|" + h.at("dup"),
              "phone|123456|spaced||2");
    EXPECT_EQ(request->headers.count("no colon line"), 0u);
}

TEST(ParseRequest, RequestLineShapes) {
    // Raw non-ASCII breaks the URI grammar; a bracketed host ends the authority or ":".
    for (const char* head : {"GET", "", "GET /%zz HTTP/1.1", "GET /a% HTTP/1.1",
                             "GET /a%2 HTTP/1.1", "GET /?t=%4 HTTP/1.1", "GET /a|b HTTP/1.1",
                             "GET /a\"b HTTP/1.1", "GET /caf\xC3\xA9 HTTP/1.1",
                             "GET :8a/x HTTP/1.1", "GET @[::1]x/ HTTP/1.1", "GET @[v.x]/ HTTP/1.1"})
        EXPECT_FALSE(parseRequest(head)) << head;
    // clang-format off
    const std::pair<const char*, const char*> valid[] = {
        {"GET   /x   HTTP/1.1", "GET /x"}, {"get /x", "get /x"}, {"GET /x extra words", "GET /x"},
        {"GET * HTTP/1.1", "GET "}, {"GET ?t=1 HTTP/1.1", "GET "}, {"GET :80/x HTTP/1.1", "GET /x"},
        {"GET //other/x HTTP/1.1", "GET //other/x"}, {"GET /x#frag HTTP/1.1", "GET /x"},
        {"GET @[::1]:80/x HTTP/1.1", "GET /x"}, {"GET @[v1.x:y]/x HTTP/1.1", "GET /x"}};
    // clang-format on
    for (auto [head, shape] : valid) {
        auto request = parseRequest(head);
        ASSERT_TRUE(request) << head;
        EXPECT_EQ(request->method + " " + request->path, shape) << head;
    }
}

TEST(ParseTarget, PercentEscapesDecodeToValidText) {
    auto target = parseTarget("/%FF%41?name=%E1%BB%87&bad=%C3");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->path,
              "/\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(target->query.at("name"), "\xE1\xBB\x87");
    EXPECT_EQ(target->query.at("bad"), "\xEF\xBF\xBD");
    EXPECT_EQ(parseTarget("/?a=1&&b")->query.size(), 2u);
    EXPECT_EQ(parseTarget("/%00")->path, std::string("/\0", 2));
}

}  // namespace
}  // namespace skiff::server
