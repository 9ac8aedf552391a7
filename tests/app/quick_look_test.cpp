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
    const fs::path a = file("a.jpg"), b = file("b.png"), c = file("c.txt"), gone = dir.path() / "x";

    fs::path file(const std::string& name, const std::string& content = "x") {
        std::ofstream(dir.path() / name, std::ios::binary) << content;
        return dir.path() / name;
    }
};

TEST_F(QuickLookFixture, ShowKeepsExistingFilesAndStartsWhereAsked) {
    struct Row {
        std::vector<fs::path> files;
        fs::path start;
        std::vector<fs::path> kept;
        int current;
    };
    const Row rows[] = {
        {{gone, b, c}, gone, {b, c}, 0},  // first deleted, start at it
        {{a, b, c}, b, {a, b, c}, 1},
        {{a, gone, c}, c, {a, c}, 1},
        {{a, b}, c, {a, b}, 0},  // start not in the list
    };
    for (const auto& row : rows) {
        look.close();
        ASSERT_TRUE(look.show(row.files, row.start));
        EXPECT_EQ(std::tuple(look.files(), look.currentIndex(), look.visible()),
                  std::tuple(row.kept, row.current, true));
    }
    // Only deleted files: false, and what was shown stays.
    EXPECT_FALSE(look.show({gone, dir.path() / "y"}, gone));
    EXPECT_EQ(look.files(), (std::vector<fs::path>{a, b}));
    EXPECT_TRUE(look.visible());
    QuickLook closed;
    EXPECT_FALSE(closed.show({gone}, gone));
    EXPECT_EQ(std::pair(closed.visible(), closed.count()), std::pair(false, 0));

    // Toggling closes an open previewer without looking at the list, and opens only what exists.
    EXPECT_TRUE(look.toggle({gone}, gone));
    EXPECT_FALSE(look.visible());
    EXPECT_FALSE(look.toggle({gone}, gone));
    EXPECT_FALSE(look.visible());
    EXPECT_TRUE(closed.toggle({a}, a));
    EXPECT_TRUE(closed.visible());
}

TEST_F(QuickLookFixture, NextAndPreviousStopAtTheEnds) {
    ASSERT_TRUE(look.show({a, b, c}, a));
    int moves = 0;
    QObject::connect(&look, &QuickLook::currentChanged, [&moves] { ++moves; });
    look.previous();
    for (int i = 0; i < 3; ++i) look.next();
    look.previous();
    EXPECT_EQ(std::pair(look.currentName(), moves), std::pair(QString("b.png"), 3));
}

TEST_F(QuickLookFixture, KindDecidesHowAFileIsDrawnAndTextIsCutWhole) {
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
    for (const auto& [path, kind] : rows) EXPECT_EQ(QuickLook::kindOf(path), kind) << path;

    // "ế" is three bytes in UTF-8; put one across the read limit.
    auto text = file("long.txt", std::string(QuickLook::kTextLimit - 1, 'a') + "ế and more");
    ASSERT_TRUE(look.show({text}, text));
    EXPECT_EQ(look.currentText().size(), QuickLook::kTextLimit - 1);
    EXPECT_FALSE(look.currentText().contains(QChar::ReplacementCharacter));
    auto note = file("note.txt", "Xin chào\nthế giới");
    ASSERT_TRUE(look.show({note}, note));
    EXPECT_EQ(look.currentText(), "Xin chào\nthế giới");
    EXPECT_EQ(look.currentSize(), 22);  // bytes, not characters
}

}  // namespace
}  // namespace skiff::app
