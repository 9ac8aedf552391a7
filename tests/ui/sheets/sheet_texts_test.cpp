// The sheets' texts that depend on the model's values; the usual address is the help popover's.
#include "ui/sheets/sheet_texts.hpp"

#include <gtest/gtest.h>

namespace skiff::ui {
namespace {

TEST(SheetTexts, OtherNetworkNamesTheRange) {
    for (auto [ip, ending] : {std::pair{"10.0.0.7", "máy tính (dải 10.0.0.x)."},
                              std::pair{"10.0", "máy tính (dải 10.0.x)."},
                              std::pair{"", "vào đúng mạng của máy tính."}})
        EXPECT_TRUE(SheetTexts::otherNetworkBody(ip).endsWith(QString::fromUtf8(ending))) << ip;
}

}  // namespace
}  // namespace skiff::ui
