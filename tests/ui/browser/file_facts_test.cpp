// What the file views read about a file: video lengths, document cards, thumbnail addresses.
#include <gtest/gtest.h>

#include "ui/browser/file_facts.hpp"

namespace skiff::ui {
namespace {

TEST(FileFacts, VideoLengthsDocumentCardsAndThumbnailAddresses) {
    for (auto [seconds, text] :
         {std::pair{0.0, "0:00"}, std::pair{59.9, "0:59"}, std::pair{3599.0, "59:59"},
          std::pair{3600.0, "1:00:00"}, std::pair{3725.0, "1:02:05"}, std::pair{-1.0, ""}})
        EXPECT_EQ(formatDuration(seconds).toStdString(), text) << seconds << " s";
    FileFacts facts;
    for (auto [path, letters, family] :
         {std::tuple{"/x/Notes.TXT", "TXT", "text"}, std::tuple{"/x/sum.csv", "CSV", "sheet"},
          std::tuple{"/x/archive.zip", "ZIP", "other"}, std::tuple{"/x/README", "", "other"}}) {
        EXPECT_EQ(facts.cardLetters(path).toStdString(), letters) << path;
        EXPECT_EQ(facts.cardFamily(path).toStdString(), family) << path;
    }
    // Thumbnail addresses carry any name, and only for kinds that can be drawn.
    QString odd = "/tmp/ảnh #1 %20?&.jpg";
    QString source = facts.thumbSource(odd, 336);
    ASSERT_TRUE(source.startsWith("image://thumb/336/")) << source.toStdString();
    QString encoded = source.mid(QString("image://thumb/336/").size());
    for (QChar c : encoded)
        EXPECT_TRUE(c.isLetterOrNumber() || c == '-' || c == '_') << source.toStdString();
    EXPECT_EQ(QByteArray::fromBase64(encoded.toLatin1(), QByteArray::Base64UrlEncoding),
              odd.toUtf8());
    EXPECT_EQ(facts.thumbSource("/tmp/notes.txt", 336), "");
    EXPECT_EQ(facts.thumbSource(odd, 0), "");
}

}  // namespace
}  // namespace skiff::ui
