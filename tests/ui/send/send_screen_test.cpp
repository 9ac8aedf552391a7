// The send tab on a virtual display with the real model and server; a phone over loopback
// lists and downloads what the computer shares.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QQuickItem>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "support/item_tree.hpp"
#include "support/phone_session.hpp"
#include "support/window_harness.hpp"

namespace skiff::test {
namespace {

const char* kScene = R"(
import QtQuick
import Skiff.Model
import Skiff.Send
Window {
    width: 960
    height: 640
    TabSeg {
        objectName: "tabs"
        x: 300
        y: 6
        tab: "send"
    }
    SendScreen {
        objectName: "send"
        y: 44
        width: parent.width
        height: parent.height - 44
    }
}
)";

const std::string kPhone =
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 Chrome/120.0 Mobile Safari/537.36";

QQuickItem* one(QQuickWindow* window, const QString& name) {
    QQuickItem* found = nullptr;
    for (QQuickItem* item : itemsOf(window)) {
        if (item->objectName() != name || !item->isVisible()) continue;
        if (found) return nullptr;  // not one
        found = item;
    }
    return found;
}

std::string text(QQuickWindow* window, const QString& name) {
    QQuickItem* item = one(window, name);
    return (item ? item->property("text").toString() : QString("<no single %1>").arg(name))
        .toStdString();
}

void write(const std::filesystem::path& file, std::size_t size, char fill = 'x') {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << std::string(size, fill);
}

std::string childText(QQuickItem* parent, const QString& name) {
    if (!parent) return "<no parent>";
    for (QQuickItem* item : itemsUnder(parent))
        if (item->objectName() == name) return item->property("text").toString().toStdString();
    return "<no " + name.toStdString() + ">";
}

QPoint centre(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

class SendTab : public testing::Test {
  protected:
    WindowHarness harness;
    QQuickWindow* window = nullptr;

    void SetUp() override {
        window = harness.openSource(kScene);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(harness.waitFor([&] { return harness.model().running(); }));
    }

    void share(const std::vector<std::filesystem::path>& files) {
        harness.model().share(files);
        harness.pump(50);
    }
};

TEST_F(SendTab, DroppingAFolderSharesItsVisibleFilesAndTheBadgeCountsThem) {
    EXPECT_EQ(text(window, "deviceLine"), "Chưa có điện thoại kết nối — quét mã QR ở tab Nhận");
    EXPECT_EQ(one(window, "sendBadge"), nullptr);
    auto folder = harness.root() / "holiday";
    write(folder / "a.jpg", 100);
    write(folder / "b.txt", 200);
    write(folder / ".secret", 300);

    auto mime = std::make_unique<QMimeData>();
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
    QPoint at(480, 300);
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    harness.pump(50);
    EXPECT_EQ(text(window, "emptyTitle"), "Thả để chia sẻ sang điện thoại");
    QDropEvent drop(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);

    ASSERT_TRUE(harness.waitFor([&] { return one(window, "sendSharing") != nullptr; }));
    auto shared = harness.model().shared();
    ASSERT_EQ(shared.size(), 2u);
    EXPECT_EQ(shared[0].name, "a.jpg");
    EXPECT_EQ(shared[1].name, "b.txt");
    EXPECT_EQ(text(window, "sendBadge"), "2");
    EXPECT_EQ(text(window, "sharedTotal"), "2 file · 300 byte");
    EXPECT_EQ(one(window, "recvBadge"), nullptr);
}

TEST_F(SendTab, AHalfWayDownloadOfOneOfTwoEqualFilesReads25Percent) {
    PhoneSession phone(harness, kPhone);
    ASSERT_TRUE(phone.connect());
    write(harness.root() / "share" / "first.bin", 1 << 20);
    write(harness.root() / "share" / "second.bin", 1 << 20);
    share({harness.root() / "share" / "first.bin", harness.root() / "share" / "second.bin"});
    ASSERT_TRUE(harness.waitFor([&] { return one(window, "statusLine") != nullptr; }));
    std::string phoneName = harness.model().devices().front().label.toStdString();
    EXPECT_EQ(text(window, "statusLead"), phoneName + " mở Skiff → “Nhận từ máy tính” để tải về");

    Reply half = phone.downloadStart(harness.model().shared()[0].id, 1 << 19);
    ASSERT_EQ(half.status, 206);
    ASSERT_TRUE(harness.waitFor([&] { return text(window, "statusPercent") == "25%"; }))
        << text(window, "statusLine");
    ASSERT_TRUE(harness.model().sendDevice().has_value());
    EXPECT_EQ(text(window, "statusLead"),
              harness.model().sendDevice()->toStdString() + " đang tải về · ");
    EXPECT_EQ(childText(one(window, "share:first.bin"), "shareState"), "50%");
    EXPECT_EQ(childText(one(window, "share:second.bin"), "shareState"), "Đang chia sẻ");
}

TEST_F(SendTab, StopAllReturnsToTheEmptyStateAndThePhoneListEmpties) {
    PhoneSession phone(harness, kPhone);
    ASSERT_TRUE(phone.connect());
    write(harness.root() / "share" / "one.txt", 10);
    share({harness.root() / "share" / "one.txt"});
    ASSERT_EQ(json(phone.files())["files"].size(), 1u);
    QQuickItem* stop = nullptr;
    ASSERT_TRUE(harness.waitFor([&] { return (stop = one(window, "stopAll")) != nullptr; }));
    EXPECT_EQ(text(window, "shareState"), "Đang chia sẻ");

    QTest::mouseClick(window, Qt::LeftButton, {}, centre(stop));
    EXPECT_TRUE(harness.waitFor([&] { return one(window, "sendEmpty") != nullptr; }));
    EXPECT_EQ(one(window, "sendSharing"), nullptr);
    EXPECT_TRUE(json(phone.files())["files"].empty());
    EXPECT_EQ(text(window, "deviceLine"),
              harness.model().devices().front().label.toStdString() + " đang kết nối · cùng Wi‑Fi");
}

TEST_F(SendTab, TextsFromTheFieldAndTheClipboardReachThePhoneUntilUnshared) {
    PhoneSession phone(harness, kPhone);
    ASSERT_TRUE(phone.connect());
    auto phoneTexts = [&] {
        std::vector<std::string> texts;
        nlohmann::json listing = json(phone.files());
        for (const auto& t : listing["texts"]) texts.push_back(t["text"]);
        return texts;
    };
    // Clicks right after the window appears may come before it takes input: click until heard.
    auto clickUntil = [&](const QString& name, const std::function<bool()>& done) {
        return harness.waitFor([&] {
            auto items = itemsOf(window);
            auto item = std::find_if(items.begin(), items.end(), [&](QQuickItem* i) {
                return i->objectName() == name && i->isVisible();
            });
            if (item != items.end()) QTest::mouseClick(window, Qt::LeftButton, {}, centre(*item));
            return done();
        });
    };
    ASSERT_NE(one(window, "textField"), nullptr);
    one(window, "textField")->setProperty("text", "<b>mã</b> 42");
    ASSERT_TRUE(clickUntil("sendText", [&] { return !harness.model().sharedTexts().empty(); }));
    EXPECT_EQ(one(window, "textField")->property("text").toString(), "");
    QGuiApplication::clipboard()->setText("https://example.com/x");
    ASSERT_TRUE(
        clickUntil("sendClipboard", [&] { return harness.model().sharedTexts().size() == 2; }));
    EXPECT_EQ(phoneTexts(), (std::vector<std::string>{"https://example.com/x", "<b>mã</b> 42"}));
    harness.keepScreenshot("send-texts");

    QGuiApplication::clipboard()->setText(QString(65537, 'a'));
    QTest::mouseClick(window, Qt::LeftButton, {}, centre(one(window, "sendClipboard")));
    EXPECT_EQ(text(window, "textProblem"), "Chữ dài quá 64 KB — hãy gửi dưới dạng file");
    ASSERT_TRUE(
        clickUntil("unshareText", [&] { return harness.model().sharedTexts().size() == 1; }));
    EXPECT_EQ(phoneTexts(), std::vector<std::string>{harness.model().sharedTexts().front().text});
}

TEST_F(SendTab, DocumentsWithoutPicturesShowTheirCardAndPicturesDoNot) {
    write(harness.root() / "report.doc", 2048);
    write(harness.root() / "budget.xlsx", 2048);
    share({harness.root() / "report.doc", harness.root() / "budget.xlsx"});
    ASSERT_TRUE(harness.waitFor([&] { return one(window, "share:report.doc") != nullptr; }));

    struct Case {
        const char* name;
        const char* letters;
        const char* family;
    } cases[] = {{"report.doc", "DOC", "text"}, {"budget.xlsx", "XLSX", "sheet"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QQuickItem* tile = one(window, QString("share:") + c.name);
        ASSERT_NE(tile, nullptr);
        QQuickItem* card = nullptr;
        for (QQuickItem* item : itemsUnder(tile))
            if (item->objectName() == "card") card = item;
        ASSERT_NE(card, nullptr);
        EXPECT_TRUE(card->isVisible());
        QQuickItem* thumb = card->parentItem();
        EXPECT_EQ(thumb->property("letters").toString(), c.letters);
        EXPECT_EQ(thumb->property("family").toString(), c.family);
    }
    harness.keepScreenshot("send-tab");
}

}  // namespace
}  // namespace skiff::test
