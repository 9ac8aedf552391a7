#pragma once

#include <filesystem>
#include <optional>

#include "media/bitmap.hpp"

namespace skiff::media {

// The decoders of makeThumbnail(), probeVideoDuration() and captureDate(), each run in the
// decoder process (DecoderProcess::shared()) under its limits and deadline. They answer
// none when the child fails, is killed or answers out of bounds.
std::optional<Bitmap> sandboxedThumbnail(const std::filesystem::path& file, int side);
std::optional<double> sandboxedDuration(const std::filesystem::path& file);
std::optional<double> sandboxedCaptureDate(const std::filesystem::path& file);

}  // namespace skiff::media
