#include "media/decoder_process.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "media/decoder_answer.hpp"
#include "media/picture_thumbnail.hpp"
#include "media/sample_pictures.hpp"
#include "media/sandboxed_decoders.hpp"
#include "support/interrupt_soon.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> runShell(DecoderProcess& process, const std::string& script,
                                    std::chrono::milliseconds deadline = 5s) {
    return process.run({"-c", script}, deadline, 4096);
}

// A child that fails, hangs, floods or looks for its parent's sockets gets nowhere.
TEST(DecoderProcess, BoundsWhatTheChildCanDo) {
    DecoderProcess shell("/bin/sh");
    EXPECT_EQ(runShell(shell, "printf 'a b'"), "a b");
    EXPECT_EQ(runShell(shell, "printf half; exit 1"), std::nullopt) << "a failed child";
    EXPECT_EQ(runShell(shell, "kill -SEGV $$"), std::nullopt) << "a crashed child";
    EXPECT_EQ(runShell(shell, "head -c 5000 /dev/zero"), std::nullopt) << "more than the limit";

    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(runShell(shell, "exec sleep 30", 300ms), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s) << "killed at its deadline";

    // Nothing but standard input, output and error reaches the child (ls holds one more).
    int leaked = ::dup(2);
    EXPECT_EQ(runShell(shell, "ls /proc/self/fd | sort -n | tr '\\n' ' '"), "0 1 2 3 ");
    ::close(leaked);

    EXPECT_EQ(DecoderProcess("/nonexistent/skiff-decode").run({}, 1s, 10), std::nullopt);

    // A signal landing on the waiting thread (no SA_RESTART) must not end the wait early.
    test::InterruptSoon interrupt;
    EXPECT_EQ(runShell(shell, "sleep 0.4; printf done"), "done");
}

// A parent must not believe a hostile child.
TEST(DecoderAnswer, ReadsOnlyWellFormedAnswers) {
    Bitmap two{2, 1, 3, {1, 2, 3, 4, 5, 6}};
    std::optional<Bitmap> back = readBitmapAnswer(writeBitmapAnswer(two), 2);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::pair(back->pixels, back->width), std::pair(two.pixels, 2));
    for (const char* bad :
         {"3 1 3\n123456789", "2 1 3\n12345", "2 1 3\n1234567", "2 1 2\n1234", "0 1 3\n",
          "-1 1 3\n", "2 1 3", "2  1 3\n123456", "x 1 3\n123456", "2 1 3x\n123456"})
        EXPECT_EQ(readBitmapAnswer(bad, 2), std::nullopt) << bad;
    EXPECT_EQ(readBitmapAnswer(writeBitmapAnswer(two), 1), std::nullopt) << "wider than asked";

    EXPECT_EQ(readSecondsAnswer(writeSecondsAnswer(12.5), 0, 100), 12.5);
    EXPECT_EQ(std::pair(readSecondsAnswer("0\n", 0, 100), readSecondsAnswer("100", 0, 100)),
              std::pair(std::optional(0.0), std::optional(100.0)))
        << "both bounds are in";
    for (const char* bad : {"", "nan\n", "inf\n", "1e300\n", "-1\n", "12 \n", "12abc\n"})
        EXPECT_EQ(readSecondsAnswer(bad, 0, 100), std::nullopt) << bad;
}

// A header's claim is refused before a pixel is decoded, in the decoder and so in its child.
TEST(DecoderBombs, PicturesClaimingTooManyPixelsAreRefusedFromTheHeader) {
    test::TempDir dir;
    std::filesystem::path bomb = dir.path() / "bomb.jpg";
    ASSERT_TRUE(test::writeJpegClaiming(bomb, 30000, 30000));
    EXPECT_LT(std::filesystem::file_size(bomb), 4096u);
    EXPECT_EQ(thumbnailPicture(bomb, 300), std::nullopt);
    EXPECT_EQ(sandboxedThumbnail(bomb, 300), std::nullopt);

    std::filesystem::path honest = dir.path() / "honest.jpg";
    ASSERT_TRUE(test::writePicture(honest, 200, 100));
    std::optional<Bitmap> drawn = sandboxedThumbnail(honest, 50);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(std::pair(drawn->width, drawn->height), std::pair(50, 25));
}

// A PDF that would render for hours is killed at the deadline with nothing left running.
TEST(DecoderBombs, ADecoderPastItsDeadlineIsKilled) {
    test::TempDir dir;
    std::filesystem::path pdf = dir.path() / "forms.pdf";
    ASSERT_TRUE(test::writeNestedFormsPdf(pdf));
    DecoderProcess decoder(decoderProgram());
    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(decoder.run({"thumbnail", "300", pdf.string()}, 1500ms, 1 << 20), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
}

}  // namespace
}  // namespace skiff::media
