#include "app/text_link.hpp"

#include <gtest/gtest.h>

namespace skiff::app {
namespace {

// Only one http(s) address, blanks around it aside and up to 8192 characters, opens as a link.
TEST(TextLink, OnlyOneWebAddressOfBoundedLengthIsALink) {
    const QString longest = "https://example.com/" + QString(8192 - 20, 'a');
    EXPECT_EQ(singleLink(" " + longest + "\n"), QUrl(longest));
    EXPECT_EQ(singleLink("HTTP://example.com/a?b=1"), QUrl("HTTP://example.com/a?b=1"));
    for (const QString& none :
         {longest + "a", QString(), QString("  "), QString("ftp://a.com"),
          QString("https://a.com https://b.com"), QString("see https://a.com"),
          QString("https:///path"), QString("https://a.com/\u0007")})
        EXPECT_EQ(singleLink(none), std::nullopt) << none.toStdString();
}

}  // namespace
}  // namespace skiff::app
