// The previewer window with the real model, server and main window: Space on a received file,
// the arrows, and what each kind of file looks like.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QQuickItem>
#include <QTest>

#include <cstdlib>

#include "app/quick_look.hpp"
#include "support/file_bytes.hpp"
#include "support/upload_client.hpp"
#include "support/window_harness.hpp"
#include "ui/preview/preview_window.hpp"
#include "ui/services/desktop_hooks.hpp"

namespace skiff::test {
namespace {

const std::string kIphone =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X) AppleWebKit/605.1.15";

std::string pngOf(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class Previewer : public ::testing::Test {
  protected:
    void SetUp() override {
        harness.settings().setValue("skipIntro023", true);
        harness.open();  // starts the model; only the Space test needs the window itself
        ASSERT_TRUE(WindowHarness::waitFor([&] { return harness.model().running(); }));
        previewer = std::make_unique<ui::PreviewWindow>(harness.engine(), look);
        admitPhone();
    }
    void TearDown() override { previewer.reset(); }

    app::DesktopServices services() {
        app::DesktopServices services;
        services.preview = ui::previewService(look);
        return services;
    }

    void admitPhone() { ASSERT_TRUE(harness.admitPhone(kIphone)); }

    // A phone sends a file; returns the id of its received entry.
    QString receive(const std::string& name, const std::string& content) {
        auto before = harness.model().received().size();
        UploadClient phone(static_cast<std::uint16_t>(harness.model().port()),
                           harness.model().pin().toStdString(), kIphone);
        EXPECT_EQ(phone.sendFile("upload-" + std::to_string(before), name, content).status, 200);
        EXPECT_TRUE(WindowHarness::waitFor(
            [&] { return harness.model().received().size() == before + 1; }));
        return harness.model().receivedEntries().front().id;
    }

    QQuickWindow* shown() {
        QQuickWindow* window = previewer->window();
        return window && window->isVisible() ? window : nullptr;
    }

    template <class T = QQuickItem>
    T* item(const char* name) {
        return previewer->window() ? previewer->window()->findChild<T*>(name) : nullptr;
    }

    app::QuickLook look;
    WindowHarness harness{{{"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}},
                          services()};
    std::unique_ptr<ui::PreviewWindow> previewer;
};

TEST_F(Previewer, SpaceOpensTheSelectedFileAndASecondSpaceCloses) {
    QString photo = receive("photo.png", pngOf({640, 480}, Qt::red));
    receive("note.txt", "Xin chào\n<b>not bold</b>");
    harness.model().setSelection(photo);

    // What the main window's Space calls.
    EXPECT_TRUE(harness.model().previewSelection());
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    EXPECT_EQ(look.count(), 2);
    EXPECT_EQ(look.currentName(), "photo.png");

    // The picture itself is drawn.
    auto* image = item("previewImage");
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return image->property("status").toInt() == 1; }));
    EXPECT_EQ(image->implicitWidth(), 640);
    EXPECT_EQ(image->implicitHeight(), 480);
    WindowHarness::pump(100);
    QImage picture = shown()->grabWindow();
    QPoint middle(picture.width() / 2, picture.height() / 2);
    EXPECT_EQ(picture.pixelColor(middle), QColor(Qt::red));

    QTest::keyClick(shown(), Qt::Key_Space);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
    EXPECT_FALSE(look.visible());

    // The same through the model: open, then closed again.
    EXPECT_TRUE(harness.model().previewSelection());
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    EXPECT_TRUE(harness.model().previewSelection());
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));

    // And through the real key on the main window.
    ASSERT_NE(harness.window(), nullptr) << "the main window did not load";
    QTest::keyClick(harness.window(), Qt::Key_Space);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    EXPECT_EQ(look.currentName(), "photo.png");
    QTest::keyClick(shown(), Qt::Key_Space);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
}

TEST_F(Previewer, ArrowsMoveAndTextShowsAsPlainText) {
    receive("a.png", pngOf({32, 32}, Qt::blue));
    receive("note.txt", "Xin chào\n<b>not bold</b>");
    QString archive = receive("pack.zip", std::string("PK\3\4", 4) + std::string(2000, '\0'));
    ASSERT_TRUE(harness.model().previewEntry(archive));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));

    // Newest first: pack.zip, note.txt, a.png.
    auto* caption = item<QObject>("previewCaption");
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

    auto* text = item<QObject>("previewText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->property("text").toString(), "Xin chào\n<b>not bold</b>");
    EXPECT_EQ(text->property("textFormat").toInt(), 0);  // plain

    QTest::keyClick(shown(), Qt::Key_Up);
    auto* name = item<QObject>("previewName");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->property("text").toString(), "pack.zip");
    EXPECT_TRUE(qobject_cast<QQuickItem*>(name)->isVisible());

    QTest::keyClick(shown(), Qt::Key_Escape);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return shown() == nullptr; }));
}

TEST_F(Previewer, PicturesQtCannotReadAreDrawnThroughTheThumbnailStore) {
    // HEIC from libvips' own writer: Qt has no reader for it here.
    auto source = harness.root() / "green.png", heic = harness.root() / "green.heic";
    QImage green(400, 300, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    ASSERT_TRUE(green.save(QString::fromStdString(source.string())));
    ASSERT_EQ(QProcess::execute("vips", {"copy", QString::fromStdString(source.string()),
                                         QString::fromStdString(heic.string())}),
              0);
    QString id = receive("IMG_0001.HEIC", readBytes(heic));
    ASSERT_TRUE(harness.model().previewEntry(id));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));

    auto* image = item("previewImage");
    ASSERT_NE(image, nullptr);
    // Drawn by the decoder process, which under the sanitizers and a busy machine takes a while.
    ASSERT_TRUE(WindowHarness::waitFor([&] { return image->property("status").toInt() == 1; },
                                       20000));
    EXPECT_EQ(image->implicitWidth(), 400);
    EXPECT_EQ(image->implicitHeight(), 300);
    WindowHarness::pump(100);
    QImage picture = shown()->grabWindow();
    QColor middle = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    EXPECT_LT(std::abs(middle.green() - 200), 12) << middle.name().toStdString();
    EXPECT_LT(middle.red(), 12);
}

TEST_F(Previewer, VideosAndPdfsOpenInTheirOwnViews) {
    auto pdf = harness.root() / "made.pdf";
    {
        QPdfWriter writer(QString::fromStdString(pdf.string()));
        QPainter painter(&writer);
        painter.drawText(100, 100, "Skiff");
    }
    QString doc = receive("doc.pdf", readBytes(pdf));
    ASSERT_TRUE(harness.model().previewEntry(doc));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    auto* view = item<QObject>("previewPdf");
    ASSERT_NE(view, nullptr);
    // Loader.Ready: the view and its module loaded without error.
    EXPECT_TRUE(WindowHarness::waitFor([&] { return view->property("status").toInt() == 1; }));
    look.close();

    auto clip = harness.root() / "clip.mp4";
    ASSERT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-f", "lavfi", "-i",
                                           "testsrc=size=64x48:rate=5", "-t", "1", "-pix_fmt",
                                           "yuv420p", QString::fromStdString(clip.string())}),
              0);
    QString video = receive("clip.mp4", readBytes(clip));
    ASSERT_TRUE(harness.model().previewEntry(video));
    ASSERT_TRUE(WindowHarness::waitFor([&] { return shown() != nullptr; }));
    auto* player = item<QObject>("previewVideo");
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(WindowHarness::waitFor([&] { return player->property("status").toInt() == 1; }));
}

TEST_F(Previewer, AGoneFileSetsMissingAndOpensNothing) {
    QString photo = receive("gone.png", pngOf({8, 8}, Qt::green));
    std::filesystem::remove(harness.model().received().front().file.url);
    harness.model().setSelection(photo);
    EXPECT_TRUE(harness.model().previewSelection());
    EXPECT_EQ(harness.model().missingText(), "gone.png");
    WindowHarness::pump(100);
    EXPECT_EQ(shown(), nullptr);
}

}  // namespace
}  // namespace skiff::test
