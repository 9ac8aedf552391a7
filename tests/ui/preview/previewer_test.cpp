// The previewer window with the real model, server and main window: Space on a received file,
// the arrows, and what each kind of file looks like.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QQuickItem>
#include <QTest>

#include <cstdlib>

#include "app/quick_look.hpp"
#include "support/file_bytes.hpp"
#include "support/phone_session.hpp"
#include "ui/preview/preview_window.hpp"
#include "ui/services/desktop_hooks.hpp"

namespace skiff::test {
namespace {

class Previewer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(harness.openWorking(), nullptr);
        previewer = std::make_unique<ui::PreviewWindow>(harness.engine(), look);
        ASSERT_TRUE(phone.connect());
    }
    void TearDown() override { previewer.reset(); }

    app::DesktopServices services() {
        app::DesktopServices services;
        services.preview = ui::previewService(look);
        return services;
    }

    // A phone sends a file; returns the id of its received entry.
    QString receive(const std::string& name, const std::string& content) {
        EXPECT_TRUE(phone.send(name, content)) << name;
        return phone.newest();
    }

    // A file made by `make` in the test's folder, as the phone sends it.
    QString receive(const std::string& name, const std::function<void(const QString&)>& make) {
        auto file = harness.root() / name;
        make(QString::fromStdString(file.string()));
        return receive(name, readBytes(file));
    }

    QQuickWindow* shown() {
        QQuickWindow* window = previewer->window();
        return window && window->isVisible() ? window : nullptr;
    }

    // Opens the entry and waits until the item called `name` in the previewer is ready.
    QObject* ready(const QString& id, const char* name, int ms = 5000) {
        EXPECT_TRUE(harness.model().previewEntry(id));
        EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
        auto* item = shown() ? shown()->findChild<QObject*>(name) : nullptr;
        bool loaded = item && WindowHarness::waitFor(
                                  [&] { return item->property("status").toInt() == 1; }, ms);
        EXPECT_TRUE(loaded) << name;
        return loaded ? item : nullptr;
    }

    QColor middle() {
        WindowHarness::pump(100);
        QImage picture = shown()->grabWindow();
        return picture.pixelColor(picture.width() / 2, picture.height() / 2);
    }

    app::QuickLook look;
    WindowHarness harness{{{"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}},
                          services()};
    PhoneSession phone{harness};
    std::unique_ptr<ui::PreviewWindow> previewer;
};

// Space on the main window, and again in the previewer; what Space does in the window with a
// text field focused is the main window's test.
TEST_F(Previewer, SpaceOpensTheSelectedPictureDrawnWholeAndASecondSpaceCloses) {
    QString photo = receive("photo.png", pictureBytes(Qt::red, "PNG", {640, 480}));
    receive("note.txt", "Xin chào");
    harness.model().setSelection(photo);
    QTest::keyClick(harness.window(), Qt::Key_Space);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    auto* image = shown()->findChild<QQuickItem*>("previewImage");
    ASSERT_TRUE(image &&
                WindowHarness::waitFor([&] { return image->property("status").toInt() == 1; }));
    EXPECT_EQ(look.count(), 2);
    EXPECT_EQ(look.currentName(), "photo.png");
    EXPECT_EQ(image->implicitWidth(), 640);
    EXPECT_EQ(image->implicitHeight(), 480);
    EXPECT_EQ(middle(), QColor(Qt::red));
    QTest::keyClick(shown(), Qt::Key_Space);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
    EXPECT_FALSE(look.visible());
}

TEST_F(Previewer, ArrowsMoveAndTextShowsAsPlainText) {
    receive("a.png", pictureBytes(Qt::blue, "PNG", {32, 32}));
    receive("note.txt", "Xin chào\n<b>not bold</b>");
    QString archive = receive("pack.zip", std::string("PK\3\4", 4) + std::string(2000, '\0'));
    ASSERT_TRUE(harness.model().previewEntry(archive));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    auto item = [&](const char* name) { return shown()->findChild<QObject*>(name); };

    // Newest first: pack.zip, note.txt, a.png.
    auto* caption = item("previewCaption");
    ASSERT_NE(caption, nullptr);
    struct Step {
        Qt::Key key;
        const char* name;
    };
    const Step steps[] = {{Qt::Key_Left, "pack.zip"},
                          {Qt::Key_Right, "note.txt"},
                          {Qt::Key_Down, "a.png"},
                          {Qt::Key_Right, "a.png"},
                          {Qt::Key_Up, "note.txt"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        QTest::keyClick(shown(), step.key);
        EXPECT_EQ(look.currentName(), step.name);
        EXPECT_TRUE(caption->property("text").toString().startsWith(step.name));
    }

    auto* text = item("previewText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->property("text").toString(), "Xin chào\n<b>not bold</b>");
    EXPECT_EQ(text->property("textFormat").toInt(), 0);  // plain

    QTest::keyClick(shown(), Qt::Key_Up);
    auto* name = item("previewName");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->property("text").toString(), "pack.zip");
    EXPECT_TRUE(qobject_cast<QQuickItem*>(name)->isVisible());

    QTest::keyClick(shown(), Qt::Key_Escape);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
}

TEST_F(Previewer, PicturesQtCannotReadAreDrawnThroughTheThumbnailStore) {
    // HEIC from libvips' own writer: Qt has no reader for it here.
    auto source = harness.root() / "green.png";
    QImage green(400, 300, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    ASSERT_TRUE(green.save(QString::fromStdString(source.string())));
    QString id = receive("IMG_0001.HEIC", [&](const QString& heic) {
        EXPECT_EQ(
            QProcess::execute("vips", {"copy", QString::fromStdString(source.string()), heic}), 0);
    });
    // Drawn by the decoder process, which under the sanitizers and a busy machine takes a while.
    auto* image = qobject_cast<QQuickItem*>(ready(id, "previewImage", 20000));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->implicitWidth(), 400);
    EXPECT_EQ(image->implicitHeight(), 300);
    QColor shownColour = middle();
    EXPECT_LT(std::abs(shownColour.green() - 200), 12) << shownColour.name().toStdString();
    EXPECT_LT(shownColour.red(), 12);
}

// Loader.Ready: each view and its QML module loaded without error.
TEST_F(Previewer, VideosAndPdfsOpenInTheirOwnViews) {
    QString doc = receive("doc.pdf", [](const QString& pdf) {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.drawText(100, 100, "Skiff");
    });
    EXPECT_NE(ready(doc, "previewPdf"), nullptr);
    look.close();
    QString video = receive("clip.mp4", [](const QString& clip) {
        EXPECT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-f", "lavfi", "-i",
                                               "testsrc=size=64x48:rate=5", "-t", "1", "-pix_fmt",
                                               "yuv420p", clip}),
                  0);
    });
    EXPECT_NE(ready(video, "previewVideo"), nullptr);
}

}  // namespace
}  // namespace skiff::test
