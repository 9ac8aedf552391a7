// The window's texts made from numbers, paths and settings, without a display.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSvgRenderer>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>

#include "support/temp_dir.hpp"
#include "ui/common/icon_names.hpp"
#include "ui/common/icon_provider.hpp"
#include "ui/common/motion.hpp"
#include "ui/common/stored_settings.hpp"
#include "ui/common/text_format.hpp"

namespace skiff::ui {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TextFormat, DurationsInSecondsMinutesAndHours) {
    struct Case {
        double seconds;
        const char* text;
    };
    for (const Case& c :
         {Case{0.2, "1 giây"}, Case{44.2, "45 giây"}, Case{59.5, "60 giây"},
          Case{60, "1 phút 0 giây"}, Case{150, "2 phút 30 giây"}, Case{3599.9, "59 phút 59 giây"},
          Case{3600, "1 giờ 0 phút"}, Case{7384, "2 giờ 3 phút"}, Case{90061, "25 giờ 1 phút"},
          // A stalled transfer (speed 0) or a wrong reading has no end to show.
          Case{0, ""}, Case{-4, ""}, Case{kInf, ""}, Case{kNaN, ""}})
        EXPECT_EQ(durationText(c.seconds).toStdString(), c.text) << "seconds " << c.seconds;
}

TEST(TextFormat, IncomingRemainingTimeRoundsSecondsUpAndMinutesDown) {
    struct Case {
        std::int64_t received, size;
        double speed;
        const char* text;
    };
    for (const Case& c :
         {Case{0, 44200000, 1e6, "còn 45 giây"}, Case{0, 150000000, 1e6, "còn 2 phút"},
          Case{0, 59999999, 1e6, "còn 60 giây"}, Case{0, 60000000, 1e6, "còn 1 phút"},
          Case{100, 100, 1e6, ""},  // nothing left
          Case{200, 100, 1e6, ""},  // more than announced
          Case{0, 100, 0, ""},      // speed not known yet
          Case{0, 100, kNaN, ""}})
        EXPECT_EQ(remainingText(c.received, c.size, c.speed).toStdString(), c.text)
            << c.received << " of " << c.size << " at " << c.speed;
}

TEST(TextFormat, PercentIsWholeAndStaysInRange) {
    struct Case {
        std::int64_t received, size;
        int percent;
    };
    constexpr auto big = std::numeric_limits<std::int64_t>::max();
    for (const Case& c : {Case{0, 1000, 0}, Case{1, 3, 33}, Case{999, 1000, 99},
                          Case{1000, 1000, 100}, Case{1500, 1000, 100}, Case{-5, 1000, 0},
                          Case{big - 1, big, 99}, Case{big / 2, big, 49}, Case{0, 0, 100}})
        EXPECT_EQ(wholePercent(c.received, c.size), c.percent) << c.received << " of " << c.size;
}

TEST(TextFormat, SpeedsCodesAndByteProgress) {
    EXPECT_EQ(speedText(0), "0.0 MB/s");
    EXPECT_EQ(speedText(12345678), "12.3 MB/s");
    EXPECT_EQ(speedText(kNaN), "0.0 MB/s");
    EXPECT_EQ(speedText(-1), "0.0 MB/s");
    EXPECT_EQ(groupedCode("12345"), "12345");  // not a code: left as it is

    EXPECT_EQ(byteProgress(0, 1500000), "0 byte / 1,5 MB");
    EXPECT_EQ(byteCount(-7), "0 byte");
}

TEST(TextFormat, HomeFolderBecomesTilde) {
    struct Case {
        const char* path;
        const char* home;
        const char* shown;
    };
    for (const Case& c : {Case{"/home/an/Downloads/Skiff", "/home/an", "~/Downloads/Skiff"},
                          Case{"/home/an", "/home/an", "~"}, Case{"/home/an/x", "/home/an/", "~/x"},
                          Case{"/home/anna/x", "/home/an", "/home/anna/x"},  // not inside
                          Case{"/srv/in", "/home/an", "/srv/in"},
                          Case{"/srv/in", "/", "/srv/in"},  // a root home keeps paths whole
                          Case{"/srv/in", "", "/srv/in"}})
        EXPECT_EQ(withTilde(c.path, c.home).toStdString(), c.shown)
            << c.path << " with home " << c.home;
    EXPECT_FALSE(userHome().isEmpty());
}

// Without any icon theme every symbol must still draw: our own drawing is the floor.
TEST(Icons, EverySymbolHasAWorkingDrawingInTheAskedColour) {
    QStringList symbols = knownSymbols();
    EXPECT_GE(symbols.size(), 28);
    for (const QString& symbol : symbols) {
        auto drawing = iconDrawing(symbol);
        ASSERT_TRUE(drawing) << symbol.toStdString();
        EXPECT_TRUE(QSvgRenderer(*drawing).isValid()) << symbol.toStdString();
        QImage image = iconImage(symbol, 32, QColor(255, 0, 0));
        int covered = 0;
        bool onlyRed = true;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 128) continue;
                ++covered;
                if (pixel.green() > 10 || pixel.blue() > 10) onlyRed = false;
            }
        // A drawing between a tenth and nine tenths of the square: visible, not a filled box.
        EXPECT_GT(covered, 32 * 32 / 10) << symbol.toStdString();
        EXPECT_LT(covered, 32 * 32 * 9 / 10) << symbol.toStdString();
        EXPECT_TRUE(onlyRed) << symbol.toStdString();
    }
    // Every symbol a view names is one of them: an unknown one would draw nothing.
    std::regex named(R"re((symbol|file):\s*"([a-z0-9.]+)")re");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(SKIFF_UI_DIR)) {
        if (entry.path().extension() != ".qml") continue;
        std::ifstream in(entry.path());
        std::string text((std::istreambuf_iterator<char>(in)), {});
        for (std::sregex_iterator it(text.begin(), text.end(), named), end; it != end; ++it)
            EXPECT_TRUE(symbols.contains(QString::fromStdString((*it)[2])))
                << (*it)[2] << " in " << entry.path().filename();
    }
    EXPECT_FALSE(iconDrawing("no.such.symbol"));
    QImage unknown = iconImage("no.such.symbol", 16, QColor(Qt::black));
    EXPECT_EQ(unknown.size(), QSize(16, 16));
    EXPECT_EQ(unknown.pixelColor(8, 8).alpha(), 0);
}

TEST(Motion, GtkSettingsTurnAnimationsOff) {
    struct Case {
        const char* ini;
        bool off;
    };
    for (const Case& c :
         {Case{"[Settings]\ngtk-enable-animations=0\n", true},
          Case{"[Settings]\ngtk-enable-animations = false\n", true},
          Case{"[Settings]\ngtk-enable-animations=1\n", false},
          Case{"[Settings]\ngtk-enable-animations=0\ngtk-enable-animations=true\n", false},
          Case{"[Settings]\n# gtk-enable-animations=0\n", false}, Case{"", false}})
        EXPECT_EQ(animationsOffIn(c.ini), c.off) << c.ini;
}

TEST(StoredSettings, ChoicesAreWrittenAtOnceAndReadBack) {
    test::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.path().string()));
    {
        StoredSettings fresh;
        EXPECT_TRUE(fresh.grid());
        EXPECT_FALSE(fresh.skipIntro());
        EXPECT_EQ(fresh.tab(), "recv");
        fresh.setGrid(false);
        fresh.setSkipIntro(true);
        fresh.setTab("send");
        fresh.setTab("elsewhere");  // not a tab: ignored
        EXPECT_EQ(fresh.tab(), "send");
        EXPECT_FALSE(fresh.skipIntroAtLaunch());
    }
    StoredSettings again;
    EXPECT_FALSE(again.grid());
    EXPECT_TRUE(again.skipIntro());
    EXPECT_TRUE(again.skipIntroAtLaunch());
    EXPECT_EQ(again.tab(), "send");

    QSettings().setValue("tab024", "<script>");
    EXPECT_EQ(StoredSettings().tab(), "recv");
}

}  // namespace
}  // namespace skiff::ui
