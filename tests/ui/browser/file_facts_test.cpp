// What the file views read about a file: video lengths, document cards, thumbnail addresses.
#include <gtest/gtest.h>

#include "ui/browser/file_facts.hpp"

namespace skiff::ui {
namespace {

TEST(FileFacts, VideoLengthsReadAsMinutesThenHours) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {{0, "0:00"},       {59.9, "0:59"},    {61, "1:01"}, {3599, "59:59"},
                 {3600, "1:00:00"}, {3725, "1:02:05"}, {-1, ""}};
    for (const Case& c : cases)
        EXPECT_EQ(formatDuration(c.seconds).toStdString(), c.text) << c.seconds << " s";
}

TEST(FileFacts, DocumentCardsByExtension) {
    FileFacts facts;
    struct Case {
        const char* path;
        const char* letters;
        const char* family;
    } cases[] = {{"/x/Notes.TXT", "TXT", "text"},
                 {"/x/sum.csv", "CSV", "sheet"},
                 {"/x/archive.zip", "ZIP", "other"},
                 {"/x/README", "", "other"}};
    for (const Case& c : cases) {
        EXPECT_EQ(facts.cardLetters(c.path).toStdString(), c.letters) << c.path;
        EXPECT_EQ(facts.cardFamily(c.path).toStdString(), c.family) << c.path;
    }
}

TEST(FileFacts, ThumbnailAddressesCarryAnyNameAndOnlyDrawableKinds) {
    FileFacts facts;
    QString odd = "/tmp/ảnh #1 %20?&.jpg";
    QString source = facts.thumbSource(odd, 336);
    ASSERT_TRUE(source.startsWith("image://thumb/336/")) << source.toStdString();
    QString encoded = source.mid(QString("image://thumb/336/").size());
    for (QChar c : encoded)
        EXPECT_TRUE(c.isLetterOrNumber() || c == '-' || c == '_') << source.toStdString();
    EXPECT_EQ(QString::fromUtf8(
                  QByteArray::fromBase64(encoded.toLatin1(), QByteArray::Base64UrlEncoding)),
              odd);
    EXPECT_EQ(facts.thumbSource("/tmp/notes.txt", 336), "");
    EXPECT_EQ(facts.thumbSource(odd, 0), "");
}

}  // namespace
}  // namespace skiff::ui
