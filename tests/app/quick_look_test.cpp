#include "app/quick_look.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

struct QuickLookFixture : ::testing::Test {
    test::TempDir dir;
    QuickLook look;

    fs::path file(const std::string& name, const std::string& content = "x") {
        auto path = dir.path() / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
};

TEST_F(QuickLookFixture, ShowKeepsExistingFilesAndStartsWhereAsked) {
    auto a = file("a.jpg"), b = file("b.png"), c = file("c.txt");
    auto gone = dir.path() / "gone.jpg";
    struct Row {
        const char* what;
        std::vector<fs::path> files;
        fs::path start;
        std::vector<fs::path> kept;
        int current;
    };
    const Row rows[] = {
        {"first deleted, start at it", {gone, b, c}, gone, {b, c}, 0},
        {"start in the middle", {a, b, c}, b, {a, b, c}, 1},
        {"start after a deleted one", {a, gone, c}, c, {a, c}, 1},
        {"start not in the list", {a, b}, c, {a, b}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        look.close();
        ASSERT_TRUE(look.show(row.files, row.start));
        EXPECT_EQ(look.files(), row.kept);
        EXPECT_EQ(look.currentIndex(), row.current);
        EXPECT_TRUE(look.visible());
    }
}

TEST_F(QuickLookFixture, DeletedFilesGiveFalseAndToggleClosesWithoutLookingAtTheList) {
    auto a = file("a.jpg"), b = file("b.jpg");
    ASSERT_TRUE(look.show({a, b}, b));
    EXPECT_FALSE(look.show({dir.path() / "x", dir.path() / "y"}, dir.path() / "x"));
    EXPECT_EQ(look.files(), (std::vector<fs::path>{a, b}));
    EXPECT_EQ(look.currentIndex(), 1);
    EXPECT_TRUE(look.visible());

    QuickLook closed;
    EXPECT_FALSE(closed.show({dir.path() / "x"}, dir.path() / "x"));
    EXPECT_FALSE(closed.visible());
    EXPECT_EQ(closed.count(), 0);

    // Toggling closes an open previewer without looking at the list, and opens only what exists.
    EXPECT_TRUE(look.toggle({dir.path() / "gone"}, dir.path() / "gone"));
    EXPECT_FALSE(look.visible());
    EXPECT_FALSE(look.toggle({dir.path() / "gone"}, dir.path() / "gone"));
    EXPECT_FALSE(look.visible());
    EXPECT_TRUE(closed.toggle({a}, a));
    EXPECT_TRUE(closed.visible());
}

TEST_F(QuickLookFixture, NextAndPreviousStopAtTheEnds) {
    auto a = file("a.jpg"), b = file("b.jpg"), c = file("c.jpg");
    ASSERT_TRUE(look.show({a, b, c}, a));
    int moves = 0;
    QObject::connect(&look, &QuickLook::currentChanged, [&moves] { ++moves; });
    look.previous();
    EXPECT_EQ(look.currentIndex(), 0);
    EXPECT_EQ(moves, 0);
    look.next();
    look.next();
    look.next();
    EXPECT_EQ(look.currentIndex(), 2);
    EXPECT_EQ(look.currentName(), "c.jpg");
    EXPECT_EQ(moves, 2);
    look.previous();
    EXPECT_EQ(look.currentIndex(), 1);
}

TEST_F(QuickLookFixture, KindDecidesHowAFileIsDrawn) {
    const std::pair<fs::path, const char*> rows[] = {
        {file("p.JPG"), "image"},
        {file("p.heic"), "image"},
        {file("m.mov"), "video"},
        {file("d.pdf", "%PDF-1.4"), "pdf"},
        {file("n.txt", "hello"), "text"},
        {file("s.csv", "a,b"), "text"},
        {file("z.zip", std::string("PK\3\4\0\0", 6)), "other"},
        {file("b.bin", std::string("\0\1\2\xff", 4)), "other"},
    };
    for (const auto& [path, kind] : rows) {
        SCOPED_TRACE(path.filename().string());
        EXPECT_EQ(QuickLook::kindOf(path), kind);
    }
}

TEST_F(QuickLookFixture, TextShowsTheOpeningWithoutACutCharacter) {
    // "ế" is three bytes in UTF-8; put one across the read limit.
    std::string body(QuickLook::kTextLimit - 1, 'a');
    body += "ế and more";
    auto long_text = file("long.txt", body);
    ASSERT_TRUE(look.show({long_text}, long_text));
    auto shown = look.currentText();
    EXPECT_EQ(shown.size(), QuickLook::kTextLimit - 1);
    EXPECT_FALSE(shown.contains(QChar::ReplacementCharacter));

    auto note = file("note.txt", "Xin chào\nthế giới");
    ASSERT_TRUE(look.show({note}, note));
    EXPECT_EQ(look.currentText(), "Xin chào\nthế giới");
    EXPECT_EQ(look.currentSize(), 22);  // bytes, not characters
}

}  // namespace
}  // namespace skiff::app
