#include "media/thumbnail.hpp"

#include "media/file_kinds.hpp"
#include "media/picture_thumbnail.hpp"
#include "media/video_thumbnail.hpp"

namespace skiff::media {

std::optional<Bitmap> makeThumbnail(const std::filesystem::path& file, int side) {
    if (!canThumb(file)) return std::nullopt;
    if (isVideo(file)) return thumbnailVideo(file, side);
    return thumbnailPicture(file, side);
}

}  // namespace skiff::media
