// The approval card with the real model and server: phones over loopback ask to connect.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QTest>

#include <nlohmann/json.hpp>

#include "support/raw_client.hpp"
#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

const char* const kAndroid = "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 Mobile";
const char* const kWindows = "Mozilla/5.0 (Windows NT 10.0; Win64; x64)";

TEST(ApproveSheet, ShowsRequestsInTurnUntilAnsweredOnlyOnceSeenAndDenyAllEndsAFlood) {
    WindowHarness harness;
    ASSERT_TRUE(harness.open(sheetWindow("ApproveSheet { animate: false }")));
    QQuickWindow* window = harness.window();
    auto port = static_cast<std::uint16_t>(harness.model().port());
    // A phone at `host` asking for the file list: the status and, while it waits, its code.
    auto ask = [&](const char* agent, const char* host = "127.0.0.1") {
        Reply reply = request(
            port,
            "GET /api/files?t=012345 HTTP/1.1\r\nUser-Agent: " + std::string(agent) + "\r\n\r\n",
            std::string(host) == "::1", host);
        return std::pair{reply.status, reply.status == 428
                                           ? nlohmann::json::parse(reply.body).value("code", "")
                                           : ""};
    };
    auto item = [&](const char* name) { return harness.find<QQuickItem>(name); };
    auto open = [&] {
        auto* sheet = window->findChild<QObject*>("approveSheet");
        return sheet && sheet->property("opened").toBool();
    };
    auto digits = [&] {
        QString code;
        for (QQuickItem* box : item("approveCode")->childItems())
            for (QQuickItem* label : box->childItems()) code += textOf(label);
        return code.toStdString();
    };
    auto pending = [&] { return harness.model().pending().size(); };

    EXPECT_FALSE(open());
    auto [androidStatus, androidCode] = ask(kAndroid);
    auto [windowsStatus, windowsCode] = ask(kWindows, "::1");
    ASSERT_EQ(androidStatus, 428);
    ASSERT_EQ(windowsStatus, 428);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return pending() == 2 && open(); }));
    // Neither Escape nor a click beside the card answers it.
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(5, 5));
    WindowHarness::pump(100);
    EXPECT_TRUE(open());
    EXPECT_EQ(pending(), 2u);

    // The older request first, with the code its phone shows.
    EXPECT_EQ(textOf(item("approveTitle")), "“Điện thoại Android” muốn kết nối");
    EXPECT_EQ(digits(), androidCode);
    EXPECT_EQ(textOf(item("approveHost")), "Địa chỉ 127.0.0.1 · đã nhập đúng mã phiên");
    EXPECT_EQ(item("approveSymbol")->property("symbol").toString(), "iphone");
    WindowHarness::pump(450);  // a card takes Return only once it has been seen
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return pending() == 1; }));
    EXPECT_EQ(ask(kAndroid).first, 200);

    // Then the second one; a second Return straight away, or a held key, does not let it in.
    ASSERT_TRUE(WindowHarness::waitFor(
        [&] { return textOf(item("approveTitle")) == "“Máy Windows” muốn kết nối"; }));
    QTest::keyClick(window, Qt::Key_Return);
    WindowHarness::pump(450);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QCoreApplication::sendEvent(window, &repeat);
    QTest::keyRelease(window, Qt::Key_Return);
    WindowHarness::pump(50);
    EXPECT_EQ(pending(), 1u);
    EXPECT_EQ(digits(), windowsCode);
    EXPECT_EQ(textOf(item("approveHost")), "Địa chỉ ::1 · đã nhập đúng mã phiên");
    EXPECT_EQ(item("approveSymbol")->property("symbol").toString(), "laptopcomputer");
    click(window, item("denyButton"));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !open(); }));
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(ask(kWindows, "::1").first, 403);

    for (const char* host : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        ASSERT_EQ(ask(kAndroid, host).first, 428);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return pending() == 3 && open(); }));
    WindowHarness::pump(450);
    click(window, item("denyAllButton"));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !open(); }));
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(ask(kAndroid, "127.0.0.3").first, 403);
}

}  // namespace
}  // namespace skiff::test
