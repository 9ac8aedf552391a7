#include "app/event_log.hpp"

#include <gtest/gtest.h>

namespace skiff::app {
namespace {

// A host hammering the server leaves one counted line, printed a handful of times.
TEST(EventLog, ABurstOfOneLineIsCountedOnIt) {
    EventLog log(4);
    QDateTime start = QDateTime::fromSecsSinceEpoch(1'800'000'000);
    log.add("Đã nhận \"a.jpg\"", start);
    int printed = 0;
    for (int i = 0; i < 1000; ++i) {
        log.add("Khoá tạm 10.0.0.9", start.addMSecs(i * 100));
        printed += log.newestIsNews();
    }
    EXPECT_EQ(printed, 5) << "at 1, 2, 10, 100 and 1000";
    EXPECT_EQ(log.lines(), QStringList({"Khoá tạm 10.0.0.9 (×1000)", "Đã nhận \"a.jpg\""}));

    // After a quiet minute, or after another line, the same text is news again; the oldest go.
    log.add("Khoá tạm 10.0.0.9", start.addSecs(200));
    EXPECT_TRUE(log.newestIsNews());
    log.add("other", start.addSecs(201));
    log.add("Khoá tạm 10.0.0.9", start.addSecs(202));
    EXPECT_EQ(log.lines(), QStringList({"Khoá tạm 10.0.0.9", "other", "Khoá tạm 10.0.0.9",
                                        "Khoá tạm 10.0.0.9 (×1000)"}));
}

}  // namespace
}  // namespace skiff::app
