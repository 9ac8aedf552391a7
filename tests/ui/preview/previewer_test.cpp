// The previewer window with the real model, server and main window.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QQmlComponent>
#include <QQuickItem>
#include <QTest>

#include <cstdlib>

#include "app/quick_look.hpp"
#include "support/file_bytes.hpp"
#include "support/phone_session.hpp"
#include "support/window_probe.hpp"
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

    // A phone sends a file, given or made by `make` in the test's folder; returns its entry's id.
    QString receive(const std::string& name, const std::string& content) {
        EXPECT_TRUE(phone.send(name, content)) << name;
        return phone.newest();
    }
    QString made(const std::string& name, const QString& program, QStringList arguments) {
        auto file = harness.root() / name;
        EXPECT_EQ(QProcess::execute(program, arguments << QString::fromStdString(file.string())),
                  0);
        return receive(name, readBytes(file));
    }

    QQuickWindow* shown() {
        QQuickWindow* window = previewer->window();
        return window && window->isVisible() ? window : nullptr;
    }

    // Waits until the previewer's item called `name` is ready (Image and Loader status 1).
    QQuickItem* ready(const char* name, int ms = 5000) {
        EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
        auto* item = shown() ? shown()->findChild<QQuickItem*>(name) : nullptr;
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
    WindowHarness harness{{.preview = ui::previewService(look)}};
    PhoneSession phone{harness};
    std::unique_ptr<ui::PreviewWindow> previewer;
};

// Space on the main window previews the selection, drawn whole, and Space in the previewer
// closes it. With nothing selected, Ctrl held or a field to type in, Space is no preview.
TEST_F(Previewer, SpaceOpensTheSelectedPictureDrawnWholeAndASecondSpaceCloses) {
    QString photo = receive("photo.png", pictureBytes(Qt::red, "PNG", {640, 480}));
    receive("note.txt", "Xin chào");
    QQuickWindow* main = harness.window();
    QTest::keyClick(main, Qt::Key_Space);  // nothing selected
    harness.model().setSelection(photo);
    QTest::keyClick(main, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(look.visible());
    // A read-only text (the address row) is only there to select from.
    for (auto [qml, previews] : {std::pair{"TextInput {}", false}, std::pair{"TextEdit {}", false},
                                 std::pair{"TextEdit { readOnly: true }", true}}) {
        QQmlComponent component(&harness.engine());
        component.setData(QByteArray("import QtQuick\n") + qml, QUrl());
        std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
        ASSERT_NE(field, nullptr) << qml;
        field->setParentItem(main->contentItem());
        field->forceActiveFocus();
        QTest::keyClick(main, Qt::Key_Space);
        EXPECT_EQ(look.visible(), previews) << qml;
    }
    QQuickItem* image = ready("previewImage");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(look.count(), 2);
    EXPECT_EQ(look.currentName(), "photo.png");
    EXPECT_EQ(image->implicitWidth(), 640);
    EXPECT_EQ(image->implicitHeight(), 480);
    EXPECT_EQ(middle(), QColor(Qt::red));
    QTest::keyClick(shown(), Qt::Key_Space);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
    EXPECT_FALSE(look.visible());
}

// Newest first: pack.zip, note.txt, a.png; where the ends stop is the model's suite.
TEST_F(Previewer, ArrowsMoveAndTextShowsAsPlainText) {
    receive("a.png", pictureBytes(Qt::blue, "PNG", {32, 32}));
    receive("note.txt", "Xin chào\n<b>not bold</b>");
    QString archive = receive("pack.zip", std::string("PK\3\4", 4) + std::string(2000, '\0'));
    ASSERT_TRUE(harness.model().previewEntry(archive));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    auto item = [&](const char* name) { return shown()->findChild<QQuickItem*>(name); };
    for (auto [key, name] :
         {std::pair{Qt::Key_Left, "pack.zip"}, std::pair{Qt::Key_Right, "note.txt"},
          std::pair{Qt::Key_Down, "a.png"}, std::pair{Qt::Key_Up, "note.txt"}}) {
        QTest::keyClick(shown(), key);
        EXPECT_EQ(look.currentName(), name);
        EXPECT_TRUE(textOf(item("previewCaption")).startsWith(name)) << name;
    }
    EXPECT_EQ(textOf(item("previewText")), "Xin chào\n<b>not bold</b>");
    EXPECT_EQ(item("previewText")->property("textFormat").toInt(), Qt::PlainText);
    QTest::keyClick(shown(), Qt::Key_Left);
    EXPECT_EQ(textOf(item("previewName")), "pack.zip");
    EXPECT_TRUE(onScreen(item("previewName")));
    QTest::keyClick(shown(), Qt::Key_Escape);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
}

TEST_F(Previewer, HeicPdfAndVideoEachOpenInTheirOwnView) {
    // HEIC from libvips' own writer: Qt has no reader for it here.
    auto source = QString::fromStdString((harness.root() / "green.png").string());
    QImage green(400, 300, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    ASSERT_TRUE(green.save(source));
    QString id = made("IMG_0001.HEIC", "vips", {"copy", source});
    ASSERT_TRUE(harness.model().previewEntry(id));
    // Drawn by the decoder process, which under the sanitizers and a busy machine takes a while.
    QQuickItem* image = ready("previewImage", 20000);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->implicitWidth(), 400);
    EXPECT_EQ(image->implicitHeight(), 300);
    QColor shownColour = middle();
    EXPECT_LT(std::abs(shownColour.green() - 200), 12) << shownColour.name().toStdString();
    EXPECT_LT(shownColour.red(), 12);
    look.close();

    // Loader.Ready: each view and its QML module loaded without error.
    {
        QPdfWriter writer(QString::fromStdString((harness.root() / "doc.pdf").string()));
        QPainter(&writer).drawText(100, 100, "Skiff");
    }
    QString doc = receive("doc.pdf", readBytes(harness.root() / "doc.pdf"));
    ASSERT_TRUE(harness.model().previewEntry(doc));
    EXPECT_NE(ready("previewPdf"), nullptr);
    look.close();
    QString video = made("clip.mp4", "ffmpeg",
                         {"-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=5",
                          "-t", "1", "-pix_fmt", "yuv420p"});
    ASSERT_TRUE(harness.model().previewEntry(video));
    EXPECT_NE(ready("previewVideo"), nullptr);
}

}  // namespace
}  // namespace skiff::test
