// The main window on a virtual display with the real model and server: what a person sees
// while phones connect, send files and the network comes and goes.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>

#include <fstream>
#include <memory>

#include "support/phone_session.hpp"
#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

TEST(Window, TheCodeReadsAsTheAddressAndTheSessionCodeKeepsItsLeadingZeroUntilANewOne) {
    WindowHarness harness;  // the harness's server starts with code 012345
    QQuickWindow* window = harness.openWorking();
    ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "waitingQr"); }));
    QString address = harness.model().addressText();
    ASSERT_TRUE(address.startsWith("http://192.168.1.20:")) << address.toStdString();
    QString png = QString::fromStdString((harness.root() / "window.png").string());
    ASSERT_TRUE(harness.grab().save(png));
    EXPECT_EQ(runTool("zbarimg", {"--raw", "-q", png}), address);
    EXPECT_EQ(countText(window, "192.168.1.20:" + QString::number(harness.model().port())), 1);

    ASSERT_TRUE(PhoneSession(harness).connect());
    ASSERT_TRUE(showsText(window, "iPhone đã kết nối"));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return overlayClear(window); }));  // the approval
    ASSERT_TRUE(click(window, visibleItem(window, "settingsButton")));
    EXPECT_TRUE(showsText(window, "012 345", 2));  // card and settings
    ASSERT_TRUE(click(window, buttonWithText(window, "Đổi mã mới")));
    QString pin = harness.model().pin();
    ASSERT_NE(pin, "012345");
    EXPECT_TRUE(showsText(window, pin.left(3) + " " + pin.right(3), 2));
    EXPECT_EQ(countText(window, "012 345"), 0);
    EXPECT_EQ(countText(window, "iPhone đã kết nối"), 0);
    EXPECT_EQ(countText(window, "Đang chờ điện thoại quét…"), 1);
}

TEST(Window, TextsFromAPhoneShowAsPlainTextCardsThatCopyAndOpenTheirLink) {
    OpenedUrls opened("https");
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    PhoneSession phone(harness);
    ASSERT_TRUE(phone.connect());
    const QString markup = "<b>mã</b> &amp; 42";
    ASSERT_EQ(phone.sendText(markup.toStdString()), 200);
    ASSERT_EQ(phone.sendText(" https://example.com/a?b=1\n"), 200);
    ASSERT_TRUE(showsText(window, "2 đoạn chữ"));
    QQuickItem* body = findItem(window->contentItem(), [&](QQuickItem* item) {
        return item->objectName() == "textCardBody" && textOf(item) == markup;
    });
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->property("textFormat").toInt(), Qt::PlainText);
    ASSERT_EQ(countText(window, "Mở liên kết"), 1);  // for the link only
    // The first clicks may land before the window takes input: click until one does.
    EXPECT_TRUE(WindowHarness::waitFor([&] {
        click(window, buttonWithText(window, "Mở liên kết"));
        return !opened.urls.isEmpty();
    }));
    EXPECT_EQ(opened.urls.value(0), QUrl("https://example.com/a?b=1"));
    QGuiApplication::clipboard()->clear();
    ASSERT_TRUE(click(window, buttonWithText(window, "Sao chép")));  // the newest card's, first
    EXPECT_EQ(QGuiApplication::clipboard()->text(), " https://example.com/a?b=1\n");
}

TEST(Window, DroppingFilesAndAFolderOnTheStripSharesTheVisibleFilesAndShowsTheSendTab) {
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    QList<QUrl> urls;
    std::filesystem::create_directories(harness.root() / "holiday");
    for (const char* name : {"a.txt", "c #1.pdf", "holiday/b.jpg", "holiday/.secret"})
        std::ofstream(harness.root() / name) << name;
    for (const char* name : {"a.txt", "c #1.pdf", "holiday"})
        urls << QUrl::fromLocalFile(QString::fromStdString((harness.root() / name).string()));
    QQuickItem* strip = visibleItem(window, "sharingStrip");
    ASSERT_NE(strip, nullptr);
    QMimeData data;
    data.setUrls(urls);
    QPoint at = centreOf(strip);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    EXPECT_TRUE(window->property("hover").toBool());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);

    EXPECT_TRUE(WindowHarness::waitFor([&] { return harness.model().shared().size() == 3; }));
    EXPECT_EQ(window->property("tab").toString(), "send");
    EXPECT_FALSE(window->property("hover").toBool());
    EXPECT_TRUE(
        WindowHarness::waitFor([&] { return textOf(visibleItem(window, "sendBadge")) == "3"; }));
    EXPECT_EQ(visibleItem(window, "recvBadge"), nullptr);
}

}  // namespace
}  // namespace skiff::test
