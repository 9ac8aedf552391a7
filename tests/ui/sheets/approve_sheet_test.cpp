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

const char* const kAndroid =
    "User-Agent: Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 Mobile\r\n";
const char* const kWindows = "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64)\r\n";

// A phone at 127.0.0.1 (or ::1) asking for the file list; returns the status and, while it
// waits for approval, the pairing code it shows.
std::pair<int, std::string> ask(std::uint16_t port, const char* userAgent, bool ipv6) {
    Reply reply = request(
        port, "GET /api/files?t=012345 HTTP/1.1\r\nHost: x\r\n" + std::string(userAgent) + "\r\n",
        ipv6);
    std::string code;
    if (reply.status == 428) code = nlohmann::json::parse(reply.body).value("code", "");
    return {reply.status, code};
}

class ApproveSheet : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_harness.open(sheetWindow("ApproveSheet { animate: false }")));
        m_port = static_cast<std::uint16_t>(m_harness.model().port());
    }

    QObject* sheet() {
        return m_harness.engine().rootObjects()[0]->findChild<QObject*>("approveSheet");
    }
    QQuickItem* item(const char* name) { return m_harness.find<QQuickItem>(name); }
    bool sheetOpen() { return sheet() && sheet()->property("opened").toBool(); }

    QString digits() {
        QString code;
        for (QQuickItem* box : item("approveCode")->childItems())
            for (QQuickItem* label : box->childItems()) code += textOf(label);
        return code;
    }

    WindowHarness m_harness;
    std::uint16_t m_port = 0;
};

TEST_F(ApproveSheet, ShowsRequestsOneAfterTheOtherUntilAnsweredAndReturnAllows) {
    EXPECT_FALSE(sheetOpen());
    auto [androidStatus, androidCode] = ask(m_port, kAndroid, false);
    auto [windowsStatus, windowsCode] = ask(m_port, kWindows, true);
    ASSERT_EQ(androidStatus, 428);
    ASSERT_EQ(windowsStatus, 428);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return m_harness.model().pending().size() == 2; }));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return sheetOpen(); }));
    // Neither Escape nor a click beside the card answers it.
    QTest::keyClick(m_harness.window(), Qt::Key_Escape);
    QTest::mouseClick(m_harness.window(), Qt::LeftButton, {}, QPoint(5, 5));
    WindowHarness::pump(100);
    EXPECT_TRUE(sheetOpen());
    EXPECT_EQ(m_harness.model().pending().size(), 2u);

    // The older request first, with the code its phone shows.
    EXPECT_EQ(textOf(item("approveTitle")), "“Điện thoại Android” muốn kết nối");
    EXPECT_EQ(digits().toStdString(), androidCode);
    EXPECT_EQ(textOf(item("approveHost")), "Địa chỉ 127.0.0.1 · đã nhập đúng mã phiên");
    EXPECT_EQ(item("approveSymbol")->property("symbol").toString(), "iphone");
    m_harness.keepScreenshot("approval");

    WindowHarness::pump(450);  // a card takes Return only once it has been seen
    QTest::keyClick(m_harness.window(), Qt::Key_Return);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return m_harness.model().pending().size() == 1; }));
    EXPECT_EQ(ask(m_port, kAndroid, false).first, 200);

    // Then the second one takes its place; a second Return straight away, or a held key, does
    // not let it in unseen.
    ASSERT_TRUE(WindowHarness::waitFor(
        [&] { return textOf(item("approveTitle")) == "“Máy Windows” muốn kết nối"; }));
    QTest::keyClick(m_harness.window(), Qt::Key_Return);
    WindowHarness::pump(450);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QCoreApplication::sendEvent(m_harness.window(), &repeat);
    QTest::keyRelease(m_harness.window(), Qt::Key_Return);
    WindowHarness::pump(50);
    EXPECT_EQ(m_harness.model().pending().size(), 1u);
    EXPECT_TRUE(sheetOpen());
    EXPECT_EQ(digits().toStdString(), windowsCode);
    EXPECT_NE(windowsCode, androidCode);
    EXPECT_EQ(textOf(item("approveHost")), "Địa chỉ ::1 · đã nhập đúng mã phiên");
    EXPECT_EQ(item("approveSymbol")->property("symbol").toString(), "laptopcomputer");

    click(m_harness.window(), item("denyButton"));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !sheetOpen(); }));
    EXPECT_TRUE(m_harness.model().pending().empty());
    EXPECT_EQ(ask(m_port, kWindows, true).first, 403);
}

TEST_F(ApproveSheet, DenyAllOnTheCardEndsAFlood) {
    for (const char* host : {"127.0.0.1", "127.0.0.2", "127.0.0.3"})
        ASSERT_EQ(request(m_port, "GET /api/files?t=012345 HTTP/1.1\r\n\r\n", false, host).status,
                  428);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return m_harness.model().pending().size() == 3; }));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return sheetOpen(); }));
    WindowHarness::pump(450);
    m_harness.keepScreenshot("approval-flood");
    click(m_harness.window(), item("denyAllButton"));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !sheetOpen(); }));
    EXPECT_TRUE(m_harness.model().pending().empty());
    EXPECT_EQ(
        request(m_port, "GET /api/files?t=012345 HTTP/1.1\r\n\r\n", false, "127.0.0.2").status,
        403);
}

}  // namespace
}  // namespace skiff::test
