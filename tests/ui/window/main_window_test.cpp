// The main window on a virtual display with the real model and server: what a person sees
// while phones connect, send files and the network comes and goes.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>
#include <QQmlComponent>

#include <cmath>
#include <fstream>
#include <memory>

#include "support/phone_session.hpp"
#include "support/window_probe.hpp"
#include "ui/services/color_scheme.hpp"

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
    ASSERT_TRUE(WindowHarness::waitFor([&] { return countText(window, "iPhone đã kết nối"); }));
    EXPECT_EQ(countText(window, "012 345"), 1);  // the connection card
    ASSERT_TRUE(WindowHarness::waitFor([&] { return overlayClear(window); }));  // the approval

    ASSERT_TRUE(click(window, visibleItem(window, "qrButton")));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "popoverCode"); }));
    EXPECT_EQ(countText(window, "Mã phiên 012 345"), 1);
    ASSERT_TRUE(click(window, visibleItem(window, "qrButton")));  // pressed again: closes
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !visibleItem(window, "popoverCode"); }));

    ASSERT_TRUE(click(window, visibleItem(window, "settingsButton")));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "settingsCode"); }));
    EXPECT_EQ(countText(window, "012 345"), 2);  // card and settings

    ASSERT_TRUE(click(window, buttonWithText(window, "Đổi mã mới")));
    QString pin = harness.model().pin();
    ASSERT_NE(pin, "012345");
    QString grouped = pin.left(3) + " " + pin.right(3);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return countText(window, grouped) == 2; }));
    EXPECT_EQ(countText(window, "012 345"), 0);
    EXPECT_EQ(countText(window, "iPhone đã kết nối"), 0);
    EXPECT_EQ(countText(window, "Đang chờ điện thoại quét…"), 1);
}

TEST(Window, WithoutANetworkTheHeaderAndCardSaySoUntilRetryFindsOne) {
    auto interfaces = std::make_shared<std::vector<app::NetIface>>();
    app::DesktopServices services;
    services.listInterfaces = [interfaces] { return *interfaces; };
    WindowHarness harness({}, services);
    QQuickWindow* window = harness.openWorking();

    ASSERT_TRUE(WindowHarness::waitFor([&] { return countText(window, "Chưa có mạng"); }));
    EXPECT_EQ(countText(window, "Máy tính chưa vào mạng Wi-Fi/LAN nào"), 1);
    EXPECT_EQ(visibleItem(window, "waitingQr"), nullptr);
    harness.keepScreenshot("no-network");

    *interfaces = {{"eth0", "10.0.0.7", "Mạng dây", app::NetIface::Kind::ethernet}};
    ASSERT_TRUE(click(window, buttonWithText(window, "Thử lại")));
    EXPECT_TRUE(WindowHarness::waitFor([&] { return countText(window, "Đang mở · Mạng dây"); }));
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
    ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "flowCard"); }));
    EXPECT_TRUE(WindowHarness::waitFor([&] { return countText(window, "50%"); }));
    EXPECT_EQ(countText(window, "của 600 KB"), 1);
    EXPECT_EQ(countText(window, "<b>ảnh 1 &amp; 2.jpg"), 1);  // the name as typed, not as markup
    EXPECT_EQ(countText(window, "Đang bắt đầu…"), 1);
    harness.keepScreenshot("transfer");

    ASSERT_EQ(client.chunk("upload1", 300000, half).status, 200);
    ASSERT_EQ(client.finish("upload1", UploadClient::sha256Of(half + half)).status, 200);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return countText(window, "100%"); }));
    EXPECT_EQ(countText(window, "Đã chuyển xong"), 0);  // not before the card's check
    harness.time().advance(500);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return countText(window, "Đã chuyển xong"); }));
    EXPECT_EQ(countText(window, "SHA-256 khớp 100%"), 1);

    harness.time().advance(3500);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return !visibleItem(window, "flowCard"); }));
    // The received view takes over with the file's summary.
    EXPECT_TRUE(WindowHarness::waitFor([&] { return countText(window, "1 file · 600 KB"); }));
    EXPECT_EQ(countText(window, "Vừa nhận · iPhone"), 1);
    harness.keepScreenshot("received");
}

TEST(Window, TextsFromAPhoneShowAsPlainTextCardsThatCopyAndOpenTheirLink) {
    OpenedUrls opened("https");
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    PhoneSession phone(harness);
    ASSERT_TRUE(phone.connect());
    auto sendText = [&](const std::string& text) { return phone.sendText(text); };
    const QString markup = "<b>mã</b> &amp; 42";
    ASSERT_EQ(sendText(markup.toStdString()), 200);
    ASSERT_EQ(sendText(" https://example.com/a?b=1\n"), 200);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return countText(window, "2 đoạn chữ"); }));
    EXPECT_EQ(countText(window, markup), 1);
    QQuickItem* body = findItem(window->contentItem(), [&](QQuickItem* item) {
        return item->objectName() == "textCardBody" && textOf(item) == markup;
    });
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->property("textFormat").toInt(), Qt::PlainText);
    ASSERT_EQ(countText(window, "Mở liên kết"), 1);  // for the link only
    harness.keepScreenshot("received-texts");
    // The first clicks after the window appears may land before it takes input: click until
    // one does.
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
    ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "incomingCard"); }));
    EXPECT_TRUE(WindowHarness::waitFor([&] { return countText(window, "còn 2 phút"); }))
        << visibleTexts(window).join(" | ").toStdString();
    EXPECT_EQ(countText(window, "Đang nhận từ iPhone"), 1);
    EXPECT_EQ(countText(window, "1.0 MB/s"), 1);
    harness.keepScreenshot("incoming");
}

TEST(Window, MissingFileAlertNamesTheFileAndClosesWithEitherButton) {
    OpenedUrls opened;
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    QUrl folder = QUrl::fromLocalFile(harness.model().saveDirText());
    for (const char* button : {"Để sau", "Mở thư mục nhận"}) {
        harness.model().setMissing("<i>báo cáo</i>.pdf");
        ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "missingMessage"); }));
        EXPECT_EQ(countText(window, "File không còn ở đây"), 1);
        EXPECT_EQ(countText(window,
                            "“<i>báo cáo</i>.pdf” đã bị xoá, đổi tên hoặc chuyển đi chỗ "
                            "khác nên không xem/mở được."),
                  1);
        QQuickItem* message = visibleItem(window, "missingMessage");
        EXPECT_EQ(message->property("textFormat").toInt(), Qt::PlainText);
        ASSERT_TRUE(click(window, buttonWithText(window, button))) << button;
        EXPECT_TRUE(WindowHarness::waitFor([&] { return harness.model().missingText().isEmpty(); }))
            << button;
        EXPECT_TRUE(WindowHarness::waitFor([&] { return !visibleItem(window, "missingMessage"); }));
    }
    // Only "Mở thư mục nhận" opened the receive folder; the header's folder button does too.
    EXPECT_EQ(opened.urls, QList<QUrl>{folder});
    ASSERT_TRUE(click(window, visibleItem(window, "folderButton")));
    EXPECT_EQ(opened.urls, (QList<QUrl>{folder, folder}));
}

TEST(Window, SpacePreviewsTheSelectionUnlessSomeoneIsTyping) {
    struct Call {
        std::filesystem::path start;
        bool toggle;
    };
    auto calls = std::make_shared<std::vector<Call>>();
    app::DesktopServices services;
    services.preview = [calls](const std::vector<std::filesystem::path>&,
                               const std::filesystem::path& start, bool toggle) {
        calls->push_back({start, toggle});
        return true;
    };
    WindowHarness harness({{"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}},
                          services);
    QQuickWindow* window = harness.openWorking();
    PhoneSession phone(harness);
    ASSERT_TRUE(phone.connect() && phone.send("clip.txt", "hello"));

    // Nothing selected: Space goes on to the window and nothing is previewed.
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_TRUE(calls->empty());

    harness.model().setSelection(phone.newest());
    QTest::keyClick(window, Qt::Key_Space);
    ASSERT_EQ(calls->size(), 1u);
    EXPECT_EQ(calls->front().start.filename(), "clip.txt");
    EXPECT_TRUE(calls->front().toggle);
    QTest::keyClick(window, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(calls->size(), 1u);

    // A text field with the focus takes the space as a character.
    QQmlComponent component(&harness.engine());
    component.setData("import QtQuick\nTextInput { width: 100; height: 20 }", QUrl());
    auto* field = qobject_cast<QQuickItem*>(component.create());
    ASSERT_NE(field, nullptr);
    field->setParentItem(window->contentItem());
    field->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_EQ(calls->size(), 1u);
    EXPECT_EQ(field->property("text").toString(), " ");
    delete field;
}

TEST(Window, TabAndGridChoicesOutliveTheWindow) {
    WindowHarness harness;
    QQuickWindow* window = harness.openWorking();
    EXPECT_EQ(window->property("tab").toString(), "recv");
    EXPECT_TRUE(window->property("grid").toBool());
    QMetaObject::invokeMethod(window, "chooseTab", Q_ARG(QVariant, "send"));
    QMetaObject::invokeMethod(window, "setGrid", Q_ARG(QVariant, false));
    EXPECT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "sendScreen"); }));

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
    EXPECT_EQ(countText(window, "Gửi từ máy tính sang điện thoại — kéo-thả file vào đây"), 1);

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
    EXPECT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "sendScreen"); }));
    EXPECT_TRUE(
        WindowHarness::waitFor([&] { return textOf(visibleItem(window, "sendBadge")) == "3"; }));
    EXPECT_EQ(visibleItem(window, "recvBadge"), nullptr);
}

// Relative luminance and contrast ratio as WCAG defines them.
double luminance(QColor colour) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(QColor a, QColor b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What an element reads as on screen: the colour most of its edge has is what it sits on, and
// its ink is the pixel inside that stands out most from it.
double readContrast(const QImage& shot, QRect area) {
    area = area.intersected(shot.rect().adjusted(1, 1, -1, -1));
    if (area.width() < 3 || area.height() < 3) return 21;
    QHash<QRgb, int> edge;
    for (int x = area.left(); x <= area.right(); ++x)
        ++edge[shot.pixel(x, area.top())], ++edge[shot.pixel(x, area.bottom())];
    for (int y = area.top(); y <= area.bottom(); ++y)
        ++edge[shot.pixel(area.left(), y)], ++edge[shot.pixel(area.right(), y)];
    QRgb ground =
        std::max_element(edge.begin(), edge.end(), [](int a, int b) { return a < b; }).key();
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrast(QColor(shot.pixel(x, y)), QColor(ground)));
    return best;
}

double shownOpacity(const QQuickItem* item) {
    double opacity = 1;
    for (auto* at = item; at; at = at->parentItem()) opacity *= at->opacity();
    return opacity;
}

// Every text and symbol under `root` that is on screen, enabled and not fading: body text at
// least 4.5:1 against what it sits on, large text and symbols at least 3:1.
void expectReadable(WindowHarness& harness, QQuickItem* root, const char* state) {
    SCOPED_TRACE(state);
    QImage shot = harness.grab();
    int checked = 0;
    walkItems(root, [&](QQuickItem* item) {
        bool text =
            item->inherits("QQuickText") && !item->property("text").toString().trimmed().isEmpty();
        bool symbol =
            item->inherits("QQuickImage") && !item->property("symbol").toString().isEmpty();
        if ((!text && !symbol) || !onScreen(item) || !item->isEnabled() ||
            shownOpacity(item) < 0.99)
            return;
        QFont font = item->property("font").value<QFont>();
        int pixels = font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * 96 / 72);
        bool large = symbol || pixels >= 24 || (pixels >= 19 && font.bold());
        QRect area =
            item->mapRectToScene(QRectF(0, 0, item->width(), item->height())).toAlignedRect();
        double ratio = readContrast(shot, area.adjusted(-2, -2, 2, 2));
        ++checked;
        EXPECT_GE(ratio, large ? 3.0 : 4.5)
            << (text ? item->property("text").toString() : item->property("symbol").toString())
                   .toStdString()
            << " (" << item->objectName().toStdString() << ") " << area.x() << "," << area.y()
            << " " << area.width() << "x" << area.height();
    });
    EXPECT_GT(checked, 3);
}

// Both schemes, on the main states a person sees: the waiting view, the send tab, a popover
// and the approval card.
TEST(Window, EveryTextIsReadableInLightAndDark) {
    QPalette before = QGuiApplication::palette();
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QGuiApplication::setPalette(ui::ColorScheme::palette(dark));
        WindowHarness harness;
        QQuickWindow* window = harness.openWorking();
        ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "waitingQr"); }));
        WindowHarness::pump(400);
        QColor corner = harness.grab().pixelColor(window->width() - 20, window->height() / 2);
        EXPECT_EQ(corner.lightness() < 80, dark) << corner.name().toStdString();
        expectReadable(harness, window->contentItem(), "waiting");
        harness.keepScreenshot(dark ? "waiting-dark" : "waiting-light");

        for (QString name : {"help", "settings"}) {
            QMetaObject::invokeMethod(window, "togglePopover", Q_ARG(QVariant, name));
            auto* popover = window->findChild<QObject*>(name + "Popover");
            ASSERT_NE(popover, nullptr);
            ASSERT_TRUE(
                WindowHarness::waitFor([&] { return popover->property("opened").toBool(); }));
            WindowHarness::pump(200);
            expectReadable(harness, popover->property("contentItem").value<QQuickItem*>(),
                           qPrintable(name));
            harness.keepScreenshot(name + (dark ? "-dark" : "-light"));
            QMetaObject::invokeMethod(window, "closePopovers");
        }

        QMetaObject::invokeMethod(window, "chooseTab", Q_ARG(QVariant, "send"));
        WindowHarness::pump(800);
        expectReadable(harness, window->contentItem(), "send");
        harness.keepScreenshot(dark ? "send-dark" : "send-light");

        ASSERT_EQ(PhoneSession(harness).files().status, 428);
        ASSERT_TRUE(WindowHarness::waitFor([&] { return visibleItem(window, "approveCode"); }));
        WindowHarness::pump(600);
        expectReadable(harness, visibleItem(window, "approveCode")->parentItem(), "approval");
        harness.keepScreenshot(dark ? "approve-dark" : "approve-light");
        harness.model().denyAll();
    }
    QGuiApplication::setPalette(before);
}

}  // namespace
}  // namespace skiff::test
