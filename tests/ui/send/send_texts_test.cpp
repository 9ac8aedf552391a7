// The send tab's status line, without a display.
#include <gtest/gtest.h>

#include "ui/send/send_texts.hpp"

namespace skiff::ui {
namespace {

TEST(SendTexts, StatusLineFollowsTheDownloadState) {
    struct Case {
        double fraction;
        bool done, active, seen;
        double speed;
        const char *lead, *percent, *speedText;
    } cases[] = {
        {1.0, true, false, true, 0, "Pixel đã tải đủ 3 file", "", ""},
        {0.25, false, true, true, 0, "Pixel đang tải về · ", "25%", ""},
        {0.999, false, true, true, 2'600'000, "Pixel đang tải về · ", "99%", " · 3 MB/s"},
        {0.0, false, true, true, 400'000, "Pixel đang tải về · ", "0%", " · 0 MB/s"},
        {0.4, false, false, true, 0, "Pixel mở Skiff → “Nhận từ máy tính” để tải về", "", ""},
        {0, false, false, false, 0, "Mở Skiff trên điện thoại → “Nhận từ máy tính” để tải về", "",
         ""},
    };
    for (const Case& c : cases) {
        SendStatus line = sendStatus(c.fraction, c.done, c.active, 3, "Pixel", c.seen, c.speed);
        EXPECT_EQ(line.lead, QString(c.lead)) << c.fraction;
        EXPECT_EQ(line.percent, QString(c.percent)) << c.fraction;
        EXPECT_EQ(line.speed, QString(c.speedText)) << c.speed;
    }
    // The beam stands still without a transfer and runs faster with the rate, never at zero.
    EXPECT_EQ(beamSpeed(50, false), 0);
    EXPECT_GT(beamSpeed(0, true), 0);
    EXPECT_GT(beamSpeed(50, true), beamSpeed(5, true));
}

TEST(SendTexts, PhoneNameComesFromTheLastDownloaderThenTheNewestDevice) {
    SendTexts texts;
    QVariantMap idle{{"fraction", 0.0}, {"done", false}, {"active", false}};
    QVariantList devices{QVariantMap{{"label", "iPhone"}}, QVariantMap{{"label", "Pixel"}}};
    auto lead = [&](const QVariantMap& state, const QString& last, const QVariantList& known) {
        return texts.status(state, 2, last, known, 0)["lead"].toString();
    };
    EXPECT_EQ(lead(idle, "Galaxy", devices), "Galaxy mở Skiff → “Nhận từ máy tính” để tải về");
    EXPECT_EQ(lead(idle, "", devices), "iPhone mở Skiff → “Nhận từ máy tính” để tải về");
    EXPECT_EQ(lead({{"fraction", 1.0}, {"done", true}}, "", {}), "Điện thoại đã tải đủ 2 file");
}

}  // namespace
}  // namespace skiff::ui
