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
        // The rest holds the body bytes that came with the receive that completed the head.
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
    EXPECT_EQ(request->query.at("x"), "2");
    EXPECT_EQ(request->query.at("y"), "");
    EXPECT_EQ(request->query.at("náme"), "và+l");  // a plus sign is not a space
    EXPECT_EQ(request->headers.at("user-agent"), "phone");
    EXPECT_EQ(request->headers.at("x-pin"), "123456");  // Unicode spaces trimmed too
    EXPECT_EQ(request->headers.at("host "), "spaced");
    EXPECT_EQ(request->headers.at("empty"), "");
    EXPECT_EQ(request->headers.at("dup"), "2");
    EXPECT_EQ(request->headers.count("no colon line"), 0u);
}

TEST(ParseRequest, RequestLineShapes) {
    struct Case {
        const char* head;
        bool valid;
        const char* method;
        const char* path;
    };
    const Case cases[] = {
        {"GET", false, "", ""},
        {"", false, "", ""},
        {"GET   /x   HTTP/1.1", true, "GET", "/x"},
        {"get /x", true, "get", "/x"},  // methods are kept as sent
        {"GET /x extra words here", true, "GET", "/x"},
        {"GET /%zz HTTP/1.1", false, "", ""},
        {"GET /a% HTTP/1.1", false, "", ""},
        {"GET /a%2 HTTP/1.1", false, "", ""},
        {"GET /?t=%4 HTTP/1.1", false, "", ""},
        {"GET /a|b HTTP/1.1", false, "", ""},
        {"GET /a\"b HTTP/1.1", false, "", ""},
        {"GET /caf\xC3\xA9 HTTP/1.1", false, "", ""},  // raw non-ASCII breaks the URI grammar
        {"GET * HTTP/1.1", true, "GET", ""},
        {"GET ?t=1 HTTP/1.1", true, "GET", ""},
        {"GET //other/x HTTP/1.1", true, "GET", "//other/x"},
        {"GET :80/x HTTP/1.1", true, "GET", "/x"},
        {"GET :8a/x HTTP/1.1", false, "", ""},
        {"GET /x#frag HTTP/1.1", true, "GET", "/x"},
        {"GET @[::1]:80/x HTTP/1.1", true, "GET", "/x"},
        {"GET @[::1]x/ HTTP/1.1", false, "", ""},  // a bracketed host ends the authority or ":"
    };
    for (const Case& c : cases) {
        auto request = parseRequest(c.head);
        ASSERT_EQ(bool(request), c.valid) << c.head;
        if (!request) continue;
        EXPECT_EQ(request->method, c.method) << c.head;
        EXPECT_EQ(request->path, c.path) << c.head;
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
