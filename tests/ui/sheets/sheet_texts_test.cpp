// The sheets' texts that depend on the model's values.
#include "ui/sheets/sheet_texts.hpp"

#include <gtest/gtest.h>

namespace skiff::ui {
namespace {

TEST(SheetTexts, OtherNetworkNamesTheRange) {
    const std::pair<const char*, const char*> cases[] = {
        {"192.168.1.23", " (dải 192.168.1.x)."},
        {"10.0.0.7", " (dải 10.0.0.x)."},
        {"10.0", " (dải 10.0.x)."},
        {"", "của máy tính."},
    };
    const QString lead =
        "Điện thoại đang dùng 4G/5G hoặc Wi-Fi khác. Bật Wi-Fi và vào đúng mạng của máy tính";
    for (auto [ip, ending] : cases) {
        QString body = SheetTexts::otherNetworkBody(ip);
        EXPECT_TRUE(body.startsWith(lead)) << ip << ": " << body.toStdString();
        EXPECT_TRUE(body.endsWith(QString::fromUtf8(ending))) << ip << ": " << body.toStdString();
        EXPECT_EQ(body.count("máy tính"), 1) << ip;
    }
}

}  // namespace
}  // namespace skiff::ui
