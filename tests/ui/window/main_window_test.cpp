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

TEST(Window, WaitingViewQrCodeReadsAsTheAddress) {
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "waitingQr"); }));
    QString address = harness.model().addressText();
    ASSERT_TRUE(address.startsWith("http://192.168.1.20:")) << address.toStdString();
    harness.keepScreenshot("waiting");
    QString png = QString::fromStdString((harness.root() / "window.png").string());
    ASSERT_TRUE(harness.grab().save(png));
    EXPECT_EQ(runTool("zbarimg", {"--raw", "-q", png}), address);
    EXPECT_EQ(countText(window, "192.168.1.20:" + QString::number(harness.model().port())), 1);
}

TEST(Window, SessionCodeKeepsItsLeadingZeroEverywhereAndANewCodeForgetsPhones) {
    WindowHarness harness;  // the harness's server starts with code 012345
    QQuickWindow* window = harness.openWorking();
    ASSERT_TRUE(PhoneSession(harness).connect());
    ASSERT_TRUE(showsText(window, "iPhone đã kết nối"));
    EXPECT_EQ(countText(window, "012 345"), 1);  // the connection card
    ASSERT_TRUE(WindowHarness::waitFor([&] { return overlayClear(window); }));  // the approval

    ASSERT_TRUE(click(window, visibleItem(window, "qrButton")));
    EXPECT_TRUE(showsText(window, "Mã phiên 012 345"));
    ASSERT_TRUE(click(window, visibleItem(window, "qrButton")));  // pressed again: closes
    EXPECT_TRUE(showsText(window, "Mã phiên 012 345", 0));
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

TEST(Window, WithoutANetworkTheHeaderAndCardSaySoUntilRetryFindsOne) {
    auto interfaces = std::make_shared<std::vector<app::NetIface>>();
    app::DesktopServices services;
    services.listInterfaces = [interfaces] { return *interfaces; };
    WindowHarness harness(services, {});
    QQuickWindow* window = harness.openWorking();
    ASSERT_TRUE(showsText(window, "Chưa có mạng"));
    EXPECT_EQ(countText(window, "Máy tính chưa vào mạng Wi-Fi/LAN nào"), 1);
    EXPECT_EQ(visibleItem(window, "waitingQr"), nullptr);
    harness.keepScreenshot("no-network");

    *interfaces = {{"eth0", "10.0.0.7", "Mạng dây", app::NetIface::Kind::ethernet}};
    ASSERT_TRUE(click(window, buttonWithText(window, "Thử lại")));
    EXPECT_TRUE(showsText(window, "Đang mở · Mạng dây"));
    EXPECT_EQ(countText(window, "Máy tính chưa vào mạng Wi-Fi/LAN nào"), 0);
    EXPECT_NE(visibleItem(window, "waitingQr"), nullptr);
}

TEST(Window, TransferCardGoesThroughProgressAndDoneAndLeaves) {
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    PhoneSession phone(harness);
    ASSERT_TRUE(phone.connect());
    UploadClient client = phone.uploader();
    std::string half(300000, 'a');
    ASSERT_EQ(client.init("upload1", "<b>ảnh 1 &amp; 2.jpg", 600000).status, 200);
    ASSERT_EQ(client.chunk("upload1", 0, half).status, 200);
    EXPECT_TRUE(showsText(window, "50%"));
    EXPECT_EQ(countText(window, "của 600 KB"), 1);
    EXPECT_EQ(countText(window, "<b>ảnh 1 &amp; 2.jpg"), 1);  // the name as typed, not as markup
    harness.keepScreenshot("transfer");

    ASSERT_EQ(client.chunk("upload1", 300000, half).status, 200);
    ASSERT_EQ(client.finish("upload1", UploadClient::sha256Of(half + half)).status, 200);
    ASSERT_TRUE(showsText(window, "100%"));
    EXPECT_EQ(countText(window, "Đã chuyển xong"), 0);  // not before the card's check
    harness.time().advance(500);
    EXPECT_TRUE(showsText(window, "Đã chuyển xong"));
    harness.time().advance(3500);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return !visibleItem(window, "flowCard"); }));
    // The received view takes over with the file's summary.
    EXPECT_TRUE(showsText(window, "1 file · 600 KB"));
    EXPECT_EQ(countText(window, "Vừa nhận · iPhone"), 1);
    harness.keepScreenshot("received");
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
    harness.keepScreenshot("received-texts");
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

// The minutes and seconds themselves are TextFormat's table; here the card shows them.
TEST(Window, IncomingCardTellsTheRemainingTime) {
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    auto callbacks = harness.server().callbacks();
    callbacks.onProgress(server::Incoming{"up1", "a.mov", "iPhone", 0, 151000000});
    harness.time().advance(1000);
    callbacks.onProgress(server::Incoming{"up1", "a.mov", "iPhone", 1000000, 151000000});
    EXPECT_TRUE(showsText(window, "còn 2 phút"));
    EXPECT_EQ(countText(window, "Đang nhận từ iPhone"), 1);
    EXPECT_EQ(countText(window, "1.0 MB/s"), 1);
    harness.keepScreenshot("incoming");
}

// Closing the alert with the keyboard is the window walk's; here its other button.
TEST(Window, MissingFileAlertNamesTheFileAsWrittenAndOpensTheReceiveFolder) {
    OpenedUrls opened;
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    QUrl folder = QUrl::fromLocalFile(harness.model().saveDirText());
    harness.model().setMissing("<i>báo cáo</i>.pdf");
    QQuickItem* message = nullptr;
    ASSERT_TRUE(WindowHarness::waitFor(
        [&] { return (message = visibleItem(window, "missingMessage")) != nullptr; }));
    EXPECT_TRUE(textOf(message).startsWith("“<i>báo cáo</i>.pdf” đã bị xoá"));
    EXPECT_EQ(message->property("textFormat").toInt(), Qt::PlainText);
    ASSERT_TRUE(click(window, buttonWithText(window, "Mở thư mục nhận")));
    EXPECT_TRUE(WindowHarness::waitFor([&] { return harness.model().missingText().isEmpty(); }));
    EXPECT_TRUE(WindowHarness::waitFor([&] { return overlayClear(window); }));
    ASSERT_TRUE(click(window, visibleItem(window, "folderButton")));  // the header's does too
    EXPECT_EQ(opened.urls, (QList<QUrl>{folder, folder}));
}

TEST(Window, TabAndGridChoicesOutliveTheWindow) {
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    EXPECT_EQ(window->property("tab").toString(), "recv");
    EXPECT_TRUE(window->property("grid").toBool());
    QMetaObject::invokeMethod(window, "chooseTab", Q_ARG(QVariant, "send"));
    QMetaObject::invokeMethod(window, "setGrid", Q_ARG(QVariant, false));
    window = harness.open();  // a new window, as at the next launch
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->property("tab").toString(), "send");
    EXPECT_FALSE(window->property("grid").toBool());
    EXPECT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "sendScreen"); }));
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
