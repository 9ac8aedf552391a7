// The sheets' texts that depend on the model's values.
#include "ui/sheets/sheet_texts.hpp"

#include <gtest/gtest.h>

namespace skiff::ui {
namespace {

TEST(SheetTexts, RequestSymbolByLabel) {
    const std::pair<const char*, const char*> cases[] = {
        {"iPhone", "iphone"},
        {"Điện thoại Android", "iphone"},
        {"Máy tính bảng Android", "iphone"},
        {"iPad", "iphone"},
        {"Máy Windows", "laptopcomputer"},
        {"Máy Mac", "laptopcomputer"},
        {"Thiết bị", "laptopcomputer"},
        {"iphone", "laptopcomputer"},  // the device names are matched as written
    };
    for (auto [label, symbol] : cases)
        EXPECT_EQ(SheetTexts::requestSymbol(QString::fromUtf8(label)), symbol) << label;
}

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

TEST(SheetTexts, TypeByHandKeepsTheLeadingZero) {
    EXPECT_EQ(SheetTexts::typeByHandBody("192.168.1.23", 51234, "012345"),
              "Mở Safari/Chrome trên điện thoại, gõ đúng 192.168.1.23:51234 (có cả dấu hai chấm "
              "và số cổng), rồi nhập mã 012345.");
}

}  // namespace
}  // namespace skiff::ui
