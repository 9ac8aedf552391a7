// A decoder fed a hostile file may write anything back: the parent takes only pictures within
// the size it asked for and numbers within their range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "check.hpp"
#include "media/decoder_answer.hpp"

using namespace skiff::media;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    int side = 1 + data[0] % 64;
    std::string_view answer(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (auto bitmap = readBitmapAnswer(answer, side)) {
        check(bitmap->width >= 1 && bitmap->width <= side);
        check(bitmap->height >= 1 && bitmap->height <= side);
        check(bitmap->channels == 3 || bitmap->channels == 4);
        check(bitmap->pixels.size() ==
              static_cast<std::size_t>(bitmap->width) * bitmap->height * bitmap->channels);
    }
    if (auto seconds = readSecondsAnswer(answer, 0, 1e9))
        check(std::isfinite(*seconds) && *seconds >= 0 && *seconds <= 1e9);
    return 0;
}
