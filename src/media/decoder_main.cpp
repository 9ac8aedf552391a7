// skiff-decode: decodes one file from a phone and writes the result to standard output.
//
//   skiff-decode thumbnail SIDE FILE   pixels fitted within SIDE x SIDE
//   skiff-decode duration FILE         a video's length in seconds
//   skiff-decode date FILE             when a photo or video was taken
//
// It runs as a child of skiff under resource limits it sets on itself before touching the
// file, and exits 1 when there is nothing to answer.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "media/capture_date.hpp"
#include "media/decoder_answer.hpp"
#include "media/decoder_limits.hpp"
#include "media/thumbnail.hpp"
#include "media/video_probe.hpp"

namespace {

using namespace skiff::media;

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer reserves terabytes of address space for its shadow memory.
constexpr bool kLimitAddressSpace = false;
#else
constexpr bool kLimitAddressSpace = true;
#endif

void limit(int resource, rlim_t value) {
    rlimit bound{value, value};
    ::setrlimit(resource, &bound);
}

void confine() {
    // Dies with its parent, whatever the parent died of.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) ::_exit(1);
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    if (kLimitAddressSpace) limit(RLIMIT_AS, kDecoderAddressSpace);
    limit(RLIMIT_CPU, kDecoderCpuSeconds);
    limit(RLIMIT_CORE, 0);
    // It reads one file and writes to a pipe; only libvips' vector code generator writes a
    // small file of its own.
    limit(RLIMIT_FSIZE, 16 * 1024 * 1024);
    // Decoding yields to the server's own threads.
    ::nice(10);
}

bool writeAll(const std::string& answer) {
    std::size_t written = 0;
    while (written < answer.size()) {
        ssize_t n = ::write(1, answer.data() + written, answer.size() - written);
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

int answer(const std::optional<std::string>& text) {
    return text && writeAll(*text) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    confine();
    std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "thumbnail" && argc == 4) {
        std::string_view sideText = argv[2];
        int side = 0;
        auto [end, error] = std::from_chars(sideText.begin(), sideText.end(), side);
        if (error != std::errc() || end != sideText.end() || side <= 0) return 2;
        std::optional<Bitmap> bitmap = makeThumbnail(argv[3], side);
        return answer(bitmap ? std::optional(writeBitmapAnswer(*bitmap)) : std::nullopt);
    }
    if (command == "duration" && argc == 3) {
        std::optional<double> seconds = probeVideoDuration(argv[2]);
        return answer(seconds ? std::optional(writeSecondsAnswer(*seconds)) : std::nullopt);
    }
    if (command == "date" && argc == 3) {
        std::optional<double> seconds = captureDate(argv[2]);
        return answer(seconds ? std::optional(writeSecondsAnswer(*seconds)) : std::nullopt);
    }
    std::fputs("usage: skiff-decode thumbnail SIDE FILE | duration FILE | date FILE\n", stderr);
    return 2;
}
