// The window's texts made from numbers, paths and settings, its symbols, without a display.
#include <gtest/gtest.h>

#include <QIcon>
#include <QSettings>
#include <QSvgRenderer>

#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>

#include "support/temp_dir.hpp"
#include "ui/browser/thumb_provider.hpp"
#include "ui/common/icon_names.hpp"
#include "ui/common/icon_provider.hpp"
#include "ui/common/motion.hpp"
#include "ui/common/stored_settings.hpp"
#include "ui/common/text_format.hpp"

namespace skiff::ui {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A stalled transfer (speed 0) or a wrong reading has no end to show.
TEST(TextFormat, DurationsRemainingTimePercentSpeedsCodesBytesAndTheHomeFolderAsTilde) {
    for (auto [seconds, text] :
         {std::pair{0.2, "1 giây"}, std::pair{59.5, "60 giây"}, std::pair{60.0, "1 phút 0 giây"},
          std::pair{3599.9, "59 phút 59 giây"}, std::pair{3600.0, "1 giờ 0 phút"},
          std::pair{90061.0, "25 giờ 1 phút"}, std::pair{0.0, ""}, std::pair{kInf, ""},
          std::pair{kNaN, ""}})
        EXPECT_EQ(durationText(seconds).toStdString(), text) << seconds;
    for (auto [received, size, speed, text] :
         {std::tuple{0, 59999999, 1e6, "còn 60 giây"}, std::tuple{0, 60000000, 1e6, "còn 1 phút"},
          std::tuple{0, 150000000, 1e6, "còn 2 phút"}, std::tuple{100, 100, 1e6, ""},
          std::tuple{200, 100, 1e6, ""}, std::tuple{0, 100, 0.0, ""}, std::tuple{0, 100, kNaN, ""}})
        EXPECT_EQ(remainingText(received, size, speed).toStdString(), text)
            << size << " at " << speed;
    using I = std::int64_t;
    constexpr I big = std::numeric_limits<I>::max();
    for (auto [received, size, percent] : {std::tuple<I, I, int>{1, 3, 33},
                                           {999, 1000, 99},
                                           {1500, 1000, 100},
                                           {-5, 1000, 0},
                                           {big - 1, big, 99},
                                           {big / 2, big, 49},
                                           {0, 0, 100}})
        EXPECT_EQ(wholePercent(received, size), percent) << received << " of " << size;
    EXPECT_EQ(speedText(12345678), "12.3 MB/s");
    EXPECT_EQ(speedText(kNaN), "0.0 MB/s");
    EXPECT_EQ(speedText(-1), "0.0 MB/s");
    EXPECT_EQ(groupedCode("12345"), "12345");  // not a code: left as it is
    EXPECT_EQ(byteProgress(-7, 1500000), "0 byte / 1,5 MB");
    for (auto [path, home, shown] :
         {std::tuple{"/home/an/x", "/home/an", "~/x"}, std::tuple{"/home/an", "/home/an/", "~"},
          std::tuple{"/home/anna/x", "/home/an", "/home/anna/x"},
          std::tuple{"/srv/in", "/", "/srv/in"}, std::tuple{"/srv/in", "", "/srv/in"}})
        EXPECT_EQ(withTilde(path, home).toStdString(), shown) << path << " with home " << home;
}

// Without any icon theme every symbol must still draw: our own drawing is the floor.
TEST(Icons, EverySymbolNamedInTheViewsHasAWorkingDrawingInTheAskedColour) {
    QStringList symbols = knownSymbols();
    for (const QString& symbol : symbols) {
        SCOPED_TRACE(symbol.toStdString());
        auto drawing = iconDrawing(symbol);
        ASSERT_TRUE(drawing && QSvgRenderer(*drawing).isValid());
        QImage image = iconImage(symbol, 32, QColor(255, 0, 0));
        int covered = 0, offColour = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                QColor pixel = image.pixelColor(x, y);
                covered += pixel.alpha() >= 128;
                offColour += pixel.alpha() >= 128 && (pixel.green() > 10 || pixel.blue() > 10);
            }
        // A drawing between a tenth and nine tenths of the square: visible, not a filled box.
        EXPECT_GT(covered, 32 * 32 / 10);
        EXPECT_LT(covered, 32 * 32 * 9 / 10);
        EXPECT_EQ(offColour, 0);
    }
    std::regex named(R"re((symbol|file):\s*"([a-z0-9.]+)")re");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(SKIFF_UI_DIR)) {
        if (entry.path().extension() != ".qml") continue;
        std::ifstream in(entry.path());
        std::string text((std::istreambuf_iterator<char>(in)), {});
        for (std::sregex_iterator it(text.begin(), text.end(), named), end; it != end; ++it)
            EXPECT_TRUE(symbols.contains(QString::fromStdString((*it)[2])))
                << (*it)[2] << " in " << entry.path().filename();
    }
    QImage unknown = iconImage("no.such.symbol", 16, QColor(Qt::black));
    EXPECT_EQ(unknown.size(), QSize(16, 16));
    EXPECT_EQ(unknown.pixelColor(8, 8).alpha(), 0);
    // A file type's icon, where there is no theme (the package only recommends one): paper.
    QIcon::setThemeSearchPaths({});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName("none");
    QImage paper =
        FileIconProvider().requestPixmap("text-plain/text-x-generic", nullptr, {40, 40}).toImage();
    EXPECT_EQ(paper.pixelColor(2, 2).alpha(), 0);
    EXPECT_EQ(paper.pixelColor(20, 20), QColor(245, 245, 248));
}

TEST(Motion, GtkSettingsTurnAnimationsOff) {
    for (auto [ini, off] :
         {std::pair{"[Settings]\ngtk-enable-animations=0\n", true},
          std::pair{"[Settings]\ngtk-enable-animations = false\n", true},
          std::pair{"[Settings]\ngtk-enable-animations=1\n", false},
          std::pair{"[Settings]\ngtk-enable-animations=0\ngtk-enable-animations=true\n", false},
          std::pair{"[Settings]\n# gtk-enable-animations=0\n", false}, std::pair{"", false}})
        EXPECT_EQ(animationsOffIn(ini), off) << ini;
}

TEST(StoredSettings, TabAndGridAreKeptAndSkippingTheIntroWaitsForTheNextLaunch) {
    test::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.path().string()));
    {
        StoredSettings fresh;
        EXPECT_FALSE(fresh.skipIntro());
        EXPECT_TRUE(fresh.grid());
        fresh.setGrid(false);
        fresh.setSkipIntro(true);
        fresh.setTab("send");
        fresh.setTab("elsewhere");  // not a tab: ignored
        EXPECT_EQ(fresh.tab(), "send");
        EXPECT_FALSE(fresh.skipIntroAtLaunch());
    }
    EXPECT_TRUE(StoredSettings().skipIntroAtLaunch());
    EXPECT_EQ(StoredSettings().tab(), "send");
    EXPECT_FALSE(StoredSettings().grid());
    QSettings().setValue("tab024", "<script>");
    EXPECT_EQ(StoredSettings().tab(), "recv");
}

}  // namespace
}  // namespace skiff::ui
