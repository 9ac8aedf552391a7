#include "media/file_kinds.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace skiff::media {
namespace {

constexpr const char* kOpaque = "application/octet-stream";

TEST(FileKinds, ClassifiesByExtensionAndNeverServesActiveContentInline) {
    using Row = std::tuple<std::string, bool, bool, std::string>;  // kind, thumb, video, inline
    const std::pair<const char*, Row> rows[] = {
        {"notes", {"file", false, false, kOpaque}},
        {"IMG_0001.HEIC", {"image", true, false, "image/heic"}},
        {"Photo.JpEg", {"image", true, false, "image/jpeg"}},
        {"raw.dng", {"image", true, false, "image/x-adobe-dng"}},
        {"clip.mov", {"video", true, true, "video/quicktime"}},
        {"cam.MTS", {"video", true, true, "video/mp2t"}},
        {"scan.pdf", {"file", true, false, "application/pdf"}},
        {"song.mp3", {"file", false, false, "audio/mpeg"}},
        {"readme.txt", {"file", false, false, "text/plain; charset=utf-8"}},
        {"archive.tar.gz", {"file", false, false, kOpaque}},
        {".jpg", {"file", false, false, kOpaque}},  // a hidden file without an extension
        {"album.jpg/cover", {"file", false, false, kOpaque}},
        {"dir/sub/photo.webp", {"image", true, false, "image/webp"}},
    };
    for (const auto& [name, row] : rows)
        EXPECT_EQ(Row(fileKind(name), canThumb(name), isVideo(name), inlineMimeType(name)), row)
            << name;
    // Shown inline these would run script in the page that holds the session code.
    for (const char* name :
         {"drawing.svg", "drawing.SVGZ", "page.html", "page.HTM", "page.xhtml", "feed.xml",
          "app.js", "module.mjs", "style.css", "data.json", "photo.jpg.html"})
        EXPECT_EQ(Row(fileKind(name), canThumb(name), isVideo(name), inlineMimeType(name)),
                  Row("file", false, false, kOpaque))
            << name;
}

}  // namespace
}  // namespace skiff::media
