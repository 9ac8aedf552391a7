#include "media/file_kinds.hpp"

#include <gtest/gtest.h>

#include <string>

namespace skiff::media {
namespace {

constexpr const char* kOpaque = "application/octet-stream";

struct KindRow {
    const char* name;
    const char* kind;
    bool thumb;
    bool video;
    const char* inlineMime;
};

TEST(FileKinds, ClassifiesByExtension) {
    const KindRow rows[] = {
        {"notes", "file", false, false, kOpaque},
        {"IMG_0001.HEIC", "image", true, false, "image/heic"},
        {"Photo.JpEg", "image", true, false, "image/jpeg"},
        {"raw.dng", "image", true, false, "image/x-adobe-dng"},
        {"clip.mov", "video", true, true, "video/quicktime"},
        {"cam.MTS", "video", true, true, "video/mp2t"},
        {"scan.pdf", "file", true, false, "application/pdf"},
        {"song.mp3", "file", false, false, "audio/mpeg"},
        {"readme.txt", "file", false, false, "text/plain; charset=utf-8"},
        {"archive.tar.gz", "file", false, false, kOpaque},
        // A lone dot-name is a hidden file without an extension.
        {".jpg", "file", false, false, kOpaque},
        {"album.jpg/cover", "file", false, false, kOpaque},
        {"dir/sub/photo.webp", "image", true, false, "image/webp"},
    };
    for (const KindRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(fileKind(row.name), row.kind);
        EXPECT_EQ(canThumb(row.name), row.thumb);
        EXPECT_EQ(isVideo(row.name), row.video);
        EXPECT_EQ(inlineMimeType(row.name), row.inlineMime);
    }
}

// Shown inline these would run script in the page that holds the session code.
TEST(FileKinds, NeverServesActiveContentInline) {
    const char* const names[] = {"drawing.svg", "drawing.SVGZ", "page.html",     "page.HTM",
                                 "page.xhtml",  "feed.xml",     "app.js",        "module.mjs",
                                 "style.css",   "data.json",    "photo.jpg.html"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(inlineMimeType(name), kOpaque);
        EXPECT_EQ(fileKind(name), "file");
        EXPECT_FALSE(canThumb(name));
    }
}

}  // namespace
}  // namespace skiff::media
