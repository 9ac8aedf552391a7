// The sheets' texts that depend on the model's values.
#include "ui/sheets/sheet_texts.hpp"

#include <gtest/gtest.h>

namespace skiff::ui {
namespace {

TEST(SheetTexts, NetworkRangeAddressByHandAndFirewallRow) {
    for (auto [ip, ending] : {std::pair{"192.168.1.23", "máy tính (dải 192.168.1.x)."},
                              std::pair{"10.0", "máy tính (dải 10.0.x)."},
                              std::pair{"", "vào đúng mạng của máy tính."}})
        EXPECT_TRUE(SheetTexts::otherNetworkBody(ip).endsWith(QString::fromUtf8(ending))) << ip;
    QString byHand = SheetTexts::typeByHandBody("192.168.1.23", 8123, "012345");
    EXPECT_TRUE(byHand.contains("gõ đúng 192.168.1.23:8123 (") &&
                byHand.endsWith("nhập mã 012345."));
    EXPECT_EQ(SheetTexts::firewallTitle("ufw"), "Tường lửa (ufw)");
    EXPECT_EQ(SheetTexts::firewallTitle(""), "Tường lửa");
    EXPECT_TRUE(SheetTexts::firewallOnBody(8123, true)
                    .endsWith("Mở cổng 8123 cho Skiff bằng lệnh "
                              "này trong cửa sổ dòng lệnh:"));
    EXPECT_TRUE(SheetTexts::firewallOnBody(8123, false)
                    .endsWith("cổng 8123/tcp trong cài đặt "
                              "tường lửa."));
}

}  // namespace
}  // namespace skiff::ui
