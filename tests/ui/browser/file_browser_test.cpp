// The file browser fed by the real model with files a phone sends over loopback.
#include <gtest/gtest.h>

#include <QQuickItem>
#include <QTest>

#include <filesystem>

#include "app/quick_look.hpp"
#include "support/phone_session.hpp"
#include "support/window_probe.hpp"
#include "ui/services/desktop_hooks.hpp"

namespace skiff::test {
namespace {

const char* kScene = R"(
import QtQuick
import Skiff.Model
import Skiff.Browser
Window {
    id: scene
    width: 960; height: 640
    property bool grid: true
    FileBrowser {
        anchors.fill: parent
        entries: App.receivedEntries
        grid: scene.grid
        tileSize: 168
        onMissing: name => App.missing = name
    }
}
)";

class Browser : public testing::Test {
  protected:
    app::QuickLook look;
    WindowHarness harness{{.preview = ui::previewService(look)}};
    PhoneSession phone{harness};
    QQuickWindow* window = nullptr;

    void SetUp() override {
        window = harness.open(kScene);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(phone.connect());
    }

    // The entry's tile (grid) or row (list) once it shows, and its part called `part`.
    QQuickItem* entry(const QString& name, bool list = false) {
        QQuickItem* found = nullptr;
        QString key = (list ? "row:" : "tile:") + name;
        harness.waitFor([&] { return (found = visibleItem(window, key)) != nullptr; });
        return found;
    }
    QQuickItem* part(QQuickItem* entry, const QString& name) {
        return entry ? childNamed(entry, name) : nullptr;
    }
    QPoint centre(QQuickItem* item) { return centreOf(item, 1.0 / 3); }
};

TEST_F(Browser, ReceivedFilesAppearInGridAndListWithThumbnails) {
    ASSERT_TRUE(phone.send("beach.png", pictureBytes(QColor(40, 140, 220))));
    ASSERT_TRUE(phone.send("notes.txt", "plain words"));
    for (bool list : {false, true}) {
        SCOPED_TRACE(list ? "list" : "grid");
        window->setProperty("grid", !list);
        QQuickItem* thumb = part(entry("beach.png", list), "thumb");
        ASSERT_NE(thumb, nullptr);
        EXPECT_TRUE(harness.waitFor([&] { return thumb->property("loaded").toBool(); }));
        QQuickItem* text = entry("notes.txt", list);
        ASSERT_NE(text, nullptr);
        harness.pump(300);
        EXPECT_FALSE(part(text, "thumb")->property("loaded").toBool());
        EXPECT_EQ(textOf(part(text, "detail")), "11 byte");
    }

    window->setProperty("grid", true);
    // A name that looks like markup shows as written in its hover text, over the name.
    ASSERT_TRUE(phone.send("<b>bold.txt", "x"));
    QQuickItem* marked = entry("<b>bold.txt");
    ASSERT_NE(marked, nullptr);
    QTest::mouseMove(window, centreOf(marked, 0.95));
    QObject* tip = nullptr;
    ASSERT_TRUE(harness.waitFor([&] {
        for (QObject* found : marked->findChildren<QObject*>("plainTip"))
            if (found->property("opened").toBool()) tip = found;
        return tip != nullptr;
    }));
    auto* label = tip->property("contentItem").value<QQuickItem*>();
    EXPECT_TRUE(textOf(label).startsWith("<b>bold.txt\n"));
    EXPECT_EQ(label->property("textFormat").toInt(), Qt::PlainText);
}

TEST_F(Browser, AFolderIsOneEntryWithItsCountAndSizeThatADoubleClickOpens) {
    const std::string place = "&path=" + UploadClient::encode("Ảnh/2024/") + "&batch=batch01";
    ASSERT_TRUE(phone.send("a.txt", "12345", place));
    ASSERT_TRUE(phone.send("b.txt", "123", place));
    ASSERT_TRUE(phone.send("loose.txt", "x"));
    OpenedUrls opened;
    for (bool list : {false, true}) {
        SCOPED_TRACE(list ? "list" : "grid");
        window->setProperty("grid", !list);
        QQuickItem* folder = entry("Ảnh", list);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(visibleItem(window, (list ? "row:" : "tile:") + QString("a.txt")), nullptr);
        EXPECT_EQ(textOf(part(folder, "detail")), "2 file · 8 byte");
        QTest::mouseDClick(window, Qt::LeftButton, {}, centre(folder));
        ASSERT_TRUE(harness.waitFor([&] { return opened.urls.size() == (list ? 2 : 1); }));
        EXPECT_EQ(opened.urls.back(),
                  QUrl::fromLocalFile(QString::fromStdString((harness.inbox() / "Ảnh").string())));
    }
    EXPECT_FALSE(look.visible());
    EXPECT_EQ(harness.model().missingText(), "");
    // Counts of received files count the folder's files, not the entries.
    EXPECT_EQ(harness.model().property("receivedCount").toInt(), 3);
}

TEST_F(Browser, ClickSelectsAndTheEyeButtonPreviews) {
    ASSERT_TRUE(phone.send("one.png", pictureBytes(QColor(10, 100, 10))));
    ASSERT_TRUE(phone.send("two.png", pictureBytes(QColor(100, 10, 10))));
    QTest::mouseClick(window, Qt::LeftButton, {}, centre(entry("one.png")));
    EXPECT_TRUE(harness.waitFor([&] {  // newest first
        return harness.model().selectionText() == harness.model().receivedEntries()[1].id;
    }));
    EXPECT_FALSE(look.visible());

    QQuickItem* tile = entry("two.png");
    QTest::mouseMove(window, centre(tile));
    ASSERT_TRUE(harness.waitFor([&] { return part(tile, "previewButton")->isVisible(); }));
    click(window, part(tile, "previewButton"));
    EXPECT_TRUE(harness.waitFor([&] { return look.visible(); }));
    EXPECT_EQ(look.currentName(), "two.png");
    EXPECT_EQ(look.count(), 2);
}

}  // namespace
}  // namespace skiff::test
