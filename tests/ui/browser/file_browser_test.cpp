// The file browser on a virtual display, fed by the real model with files a phone sends over
// loopback.
#include <gtest/gtest.h>

#include <QQuickItem>
#include <QTest>

#include <filesystem>

#include "app/quick_look.hpp"
#include "support/phone_session.hpp"
#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

const char* kScene = R"(
import QtQuick
import Skiff.Model
import Skiff.Browser
Window {
    id: scene
    width: 960
    height: 640
    property bool grid: true
    FileBrowser {
        objectName: "browser"
        anchors.fill: parent
        entries: App.receivedEntries
        grid: scene.grid
        tileSize: 168
        onMissing: name => App.missing = name
    }
}
)";

// The real previewer state behind the window; `shown` counts the times it opened.
struct PreviewLog {
    app::QuickLook look;
    int shown = 0;
    bool open() const { return look.visible(); }
    std::filesystem::path start() const {
        return look.visible() ? look.files().at(look.currentIndex()) : std::filesystem::path();
    }
};

app::DesktopServices recordingPreview(std::shared_ptr<PreviewLog> log) {
    app::DesktopServices services;
    services.preview = [log](const std::vector<std::filesystem::path>& files,
                             const std::filesystem::path& start, bool toggle) {
        bool wasOpen = log->look.visible();
        bool done = toggle ? log->look.toggle(files, start) : log->look.show(files, start);
        if (log->look.visible() && !wasOpen) ++log->shown;
        return done;
    };
    return services;
}

QQuickItem* child(QQuickItem* parent, const QString& name) {
    return parent ? childNamed(parent, name) : nullptr;
}

QPoint centre(QQuickItem* item) {
    return centreOf(item, 1.0 / 3);
}

class Browser : public testing::Test {
  protected:
    std::shared_ptr<PreviewLog> previews = std::make_shared<PreviewLog>();
    WindowHarness harness{{{"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}},
                          recordingPreview(previews)};
    PhoneSession phone{harness};
    QQuickWindow* window = nullptr;

    void SetUp() override {
        window = harness.open(kScene);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(phone.connect());
    }

    void showList(bool list) {
        window->setProperty("grid", !list);
        harness.pump(50);
    }
};

TEST_F(Browser, ReceivedFilesAppearInGridAndListWithThumbnails) {
    ASSERT_TRUE(phone.send("beach.png", pictureBytes(QColor(40, 140, 220))));
    ASSERT_TRUE(phone.send("forest.jpg", pictureBytes(QColor(40, 160, 60), "JPG")));
    ASSERT_TRUE(phone.send("notes.txt", "plain words"));
    ASSERT_TRUE(phone.send("clip.mp4", std::string(4096, '\x01')));

    for (bool list : {false, true}) {
        SCOPED_TRACE(list ? "list" : "grid");
        showList(list);
        QString prefix = list ? "row:" : "tile:";
        for (const char* name : {"beach.png", "forest.jpg"}) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(
                harness.waitFor([&] { return visibleItem(window, prefix + name) != nullptr; }));
            QQuickItem* thumb = child(visibleItem(window, prefix + name), "thumb");
            ASSERT_NE(thumb, nullptr);
            EXPECT_TRUE(harness.waitFor([&] { return thumb->property("loaded").toBool(); }));
        }
        // A text file has no picture: its type icon stays.
        QQuickItem* text = visibleItem(window, prefix + "notes.txt");
        ASSERT_NE(text, nullptr);
        harness.pump(300);
        EXPECT_FALSE(child(text, "thumb")->property("loaded").toBool());
        EXPECT_EQ(child(text, "detail")->property("text").toString(), "11 byte");
        harness.keepScreenshot(list ? "browser-list" : "browser-grid");
    }

    // Videos carry the play badge in the grid, other files do not; received files are never
    // removable, so no tile offers the remove button.
    showList(false);
    auto badgeShown = [&](const char* name) {
        QQuickItem* badge = child(visibleItem(window, QString("tile:") + name), "playBadge");
        return badge && badge->isVisible();
    };
    EXPECT_TRUE(badgeShown("clip.mp4"));
    EXPECT_FALSE(badgeShown("beach.png"));
    QTest::mouseMove(window, centre(visibleItem(window, "tile:beach.png")));
    harness.pump(100);
    EXPECT_EQ(visibleItem(window, "removeButton"), nullptr);

    // A name that looks like markup shows as written in its hover text.
    ASSERT_TRUE(phone.send("<b>bold.txt", "x"));
    ASSERT_TRUE(
        harness.waitFor([&] { return visibleItem(window, "tile:<b>bold.txt") != nullptr; }));
    QQuickItem* marked = visibleItem(window, "tile:<b>bold.txt");
    // Over the name, below the picture's buttons.
    QTest::mouseMove(
        window, marked->mapToScene(QPointF(marked->width() / 2, marked->height() - 8)).toPoint());
    QObject* tip = nullptr;
    ASSERT_TRUE(harness.waitFor([&] {
        for (QObject* found : marked->findChildren<QObject*>("plainTip"))
            if (found->property("opened").toBool()) tip = found;
        return tip != nullptr;
    }));
    auto* label = tip->property("contentItem").value<QQuickItem*>();
    EXPECT_TRUE(label->property("text").toString().startsWith("<b>bold.txt\n"));
    EXPECT_EQ(label->property("textFormat").toInt(), 0) << "Text.PlainText";
}

TEST_F(Browser, AVanishedFileSaysSoAndItsDoubleClickRaisesTheMissingNotice) {
    ASSERT_TRUE(phone.send("kept.png", pictureBytes(QColor(200, 80, 40))));
    ASSERT_TRUE(phone.send("gone.png", pictureBytes(QColor(80, 80, 200))));
    ASSERT_TRUE(harness.waitFor([&] { return visibleItem(window, "tile:gone.png") != nullptr; }));
    std::filesystem::remove(harness.inbox() / "gone.png");

    QQuickItem* goneDetail = child(visibleItem(window, "tile:gone.png"), "detail");
    EXPECT_TRUE(harness.waitFor(
        [&] { return goneDetail->property("text").toString() == "File không còn ở đây"; }));
    EXPECT_NE(child(visibleItem(window, "tile:kept.png"), "detail")->property("text").toString(),
              "File không còn ở đây");

    QTest::mouseDClick(window, Qt::LeftButton, {}, centre(visibleItem(window, "tile:gone.png")));
    EXPECT_TRUE(harness.waitFor([&] { return harness.model().missingText() == "gone.png"; }));
    EXPECT_EQ(previews->shown, 0);
    EXPECT_EQ(harness.model().selectionText(), harness.model().receivedEntries()[0].id);

    // The file that is still there opens in the previewer and raises nothing.
    harness.model().setMissing("");
    QTest::mouseDClick(window, Qt::LeftButton, {}, centre(visibleItem(window, "tile:kept.png")));
    EXPECT_TRUE(harness.waitFor([&] { return previews->shown == 1; }));
    EXPECT_EQ(previews->start().filename(), "kept.png");
    EXPECT_EQ(harness.model().missingText(), "");
}

TEST_F(Browser, AFolderIsOneEntryWithItsCountAndSizeThatADoubleClickOpens) {
    const std::string place = "&path=" + UploadClient::encode("Ảnh/2024/") + "&batch=batch01";
    ASSERT_TRUE(phone.send("a.txt", "12345", place));
    ASSERT_TRUE(phone.send("b.txt", "123", place));
    ASSERT_TRUE(phone.send("loose.txt", "x"));
    OpenedUrls opened;

    for (bool list : {false, true}) {
        SCOPED_TRACE(list ? "list" : "grid");
        showList(list);
        QString prefix = list ? "row:" : "tile:";
        ASSERT_TRUE(
            harness.waitFor([&] { return visibleItem(window, prefix + "Ảnh") != nullptr; }));
        EXPECT_EQ(visibleItem(window, prefix + "a.txt"), nullptr);
        EXPECT_EQ(child(visibleItem(window, prefix + "Ảnh"), "detail")->property("text").toString(),
                  "2 file · 8 byte");
        QTest::mouseDClick(window, Qt::LeftButton, {}, centre(visibleItem(window, prefix + "Ảnh")));
        ASSERT_TRUE(harness.waitFor([&] { return opened.urls.size() == (list ? 2 : 1); }));
        EXPECT_EQ(opened.urls.back(),
                  QUrl::fromLocalFile(QString::fromStdString((harness.inbox() / "Ảnh").string())));
    }
    EXPECT_EQ(previews->shown, 0);
    EXPECT_EQ(harness.model().missingText(), "");
    // Counts of received files count the folder's files, not the entries.
    EXPECT_EQ(harness.model().property("receivedCount").toInt(), 3);
}

TEST_F(Browser, ClickSelectsAndSpaceTwiceOpensThenClosesThePreviewer) {
    ASSERT_TRUE(phone.send("one.png", pictureBytes(QColor(10, 100, 10))));
    ASSERT_TRUE(phone.send("two.png", pictureBytes(QColor(100, 10, 10))));
    ASSERT_TRUE(harness.waitFor([&] { return visibleItem(window, "tile:one.png") != nullptr; }));

    QTest::mouseClick(window, Qt::LeftButton, {}, centre(visibleItem(window, "tile:one.png")));
    ASSERT_TRUE(harness.waitFor([&] {
        auto entries = harness.model().receivedEntries();
        return harness.model().selectionText() == entries[1].id;  // newest first
    }));
    // The window sends Space to the model; what the browser owns is that the selection it set
    // is the one the key previews, within the received list.
    EXPECT_TRUE(harness.model().previewSelection());
    EXPECT_TRUE(previews->open());
    EXPECT_EQ(previews->start().filename(), "one.png");
    EXPECT_EQ(previews->look.count(), 2);
    previews->look.close();

    // The eye button previews like a double click and leaves the previewer open.
    QQuickItem* tile = visibleItem(window, "tile:two.png");
    QTest::mouseMove(window, centre(tile));
    ASSERT_TRUE(harness.waitFor([&] { return child(tile, "previewButton")->isVisible(); }));
    click(window, child(tile, "previewButton"));
    EXPECT_TRUE(harness.waitFor([&] { return previews->open(); }));
    EXPECT_EQ(previews->start().filename(), "two.png");
}

}  // namespace
}  // namespace skiff::test
