#include "media/decoder_answer.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace skiff::media {
namespace {

// One decimal number up to the next space or newline; advances past it and its separator.
bool readInt(std::string_view& text, char separator, int& out) {
    std::size_t end = text.find(separator);
    if (end == std::string_view::npos || end == 0 || end > 9) return false;
    auto [stop, error] = std::from_chars(text.data(), text.data() + end, out);
    if (error != std::errc() || stop != text.data() + end) return false;
    text.remove_prefix(end + 1);
    return true;
}

}  // namespace

std::string writeBitmapAnswer(const Bitmap& bitmap) {
    std::string answer = std::to_string(bitmap.width) + ' ' + std::to_string(bitmap.height) + ' ' +
                         std::to_string(bitmap.channels) + '\n';
    answer.append(reinterpret_cast<const char*>(bitmap.pixels.data()), bitmap.pixels.size());
    return answer;
}

std::optional<Bitmap> readBitmapAnswer(std::string_view answer, int side) {
    Bitmap bitmap;
    if (!readInt(answer, ' ', bitmap.width) || !readInt(answer, ' ', bitmap.height) ||
        !readInt(answer, '\n', bitmap.channels)) {
        return std::nullopt;
    }
    if (bitmap.width < 1 || bitmap.height < 1 || bitmap.width > side || bitmap.height > side ||
        (bitmap.channels != 3 && bitmap.channels != 4)) {
        return std::nullopt;
    }
    std::size_t size = static_cast<std::size_t>(bitmap.width) * bitmap.height * bitmap.channels;
    if (answer.size() != size) return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(answer.data());
    bitmap.pixels.assign(bytes, bytes + size);
    return bitmap;
}

std::string writeSecondsAnswer(double seconds) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%.17g\n", seconds);
    return std::string(text, static_cast<std::size_t>(length));
}

std::optional<double> readSecondsAnswer(std::string_view answer, double low, double high) {
    if (answer.ends_with('\n')) answer.remove_suffix(1);
    double seconds = 0;
    auto [stop, error] = std::from_chars(answer.data(), answer.data() + answer.size(), seconds);
    if (answer.empty() || error != std::errc() || stop != answer.data() + answer.size() ||
        !std::isfinite(seconds) || seconds < low || seconds > high) {
        return std::nullopt;
    }
    return seconds;
}

}  // namespace skiff::media
