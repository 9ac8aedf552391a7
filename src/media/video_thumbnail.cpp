#include "media/video_thumbnail.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include "media/decoder_limits.hpp"
#include "media/video_container.hpp"

namespace skiff::media {
namespace {

struct CodecFree {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFree {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
using Decoder = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

constexpr double kShareOfLength = 0.1;
constexpr double kLatestSeconds = 3.0;
// Mean luma (0-255) below which a frame counts as black: fades, lens caps, title cards.
constexpr double kDarkLuma = 24.0;
// How many frames past the chosen moment may be tried for one that is not black.
constexpr int kFramesToTry = 50;
// Bounds the work on a file whose frames never decode.
constexpr int kMaxPackets = 2000;

Decoder openDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    Decoder decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return nullptr;
    // We bound parallelism ourselves; frame threads would also delay the first frame.
    decoder->thread_count = 1;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return nullptr;
    return decoder;
}

// Clockwise quarter turns the video needs to be shown upright, from its display matrix.
int quarterTurns(const AVStream* stream) {
    const std::uint8_t* matrix = nullptr;
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 31, 102)
    const AVPacketSideData* side =
        av_packet_side_data_get(stream->codecpar->coded_side_data,
                                stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (side && side->size >= 9 * sizeof(std::int32_t)) matrix = side->data;
#else
    std::size_t size = 0;
    matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (size < 9 * sizeof(std::int32_t)) matrix = nullptr;
#endif
    if (!matrix) return 0;
    double counterclockwise =
        av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
    if (!std::isfinite(counterclockwise)) return 0;
    long turns = std::lround(-counterclockwise / 90.0) % 4;
    return static_cast<int>(turns < 0 ? turns + 4 : turns);
}

// Turns tightly packed RGB pixels clockwise by quarter turns.
Bitmap rotate(Bitmap in, int turns) {
    if (turns == 0) return in;
    Bitmap out;
    bool sideways = turns % 2 == 1;
    out.width = sideways ? in.height : in.width;
    out.height = sideways ? in.width : in.height;
    out.channels = in.channels;
    out.pixels.resize(in.pixels.size());
    const int c = in.channels;
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            int tx = x, ty = y;
            if (turns == 1) tx = in.height - 1 - y, ty = x;
            if (turns == 2) tx = in.width - 1 - x, ty = in.height - 1 - y;
            if (turns == 3) tx = y, ty = in.width - 1 - x;
            std::copy_n(&in.pixels[(static_cast<std::size_t>(y) * in.width + x) * c], c,
                        &out.pixels[(static_cast<std::size_t>(ty) * out.width + tx) * c]);
        }
    }
    return out;
}

double meanLuma(const Bitmap& bitmap) {
    double sum = 0;
    for (std::size_t i = 0; i + 2 < bitmap.pixels.size(); i += 3) {
        sum +=
            0.299 * bitmap.pixels[i] + 0.587 * bitmap.pixels[i + 1] + 0.114 * bitmap.pixels[i + 2];
    }
    std::size_t count = bitmap.pixels.size() / 3;
    return count ? sum / static_cast<double>(count) : 0;
}

class FrameScaler {
  public:
    FrameScaler(int side, int turns) : m_side(side), m_turns(turns) {}

    // The frame as upright RGB fitted within side x side.
    std::optional<Bitmap> operator()(const AVFrame& frame) {
        if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) return std::nullopt;
        double shownWidth = frame.width;
        if (frame.sample_aspect_ratio.num > 0 && frame.sample_aspect_ratio.den > 0)
            shownWidth *= av_q2d(frame.sample_aspect_ratio);
        double shownHeight = frame.height;
        bool sideways = m_turns % 2 == 1;
        if (sideways) std::swap(shownWidth, shownHeight);
        double scale = std::min({1.0, m_side / shownWidth, m_side / shownHeight});
        int width = std::max(1, static_cast<int>(std::lround(shownWidth * scale)));
        int height = std::max(1, static_cast<int>(std::lround(shownHeight * scale)));
        if (sideways) std::swap(width, height);  // size before turning

        auto format = static_cast<AVPixelFormat>(frame.format);
        m_scaler.reset(sws_getCachedContext(m_scaler.release(), frame.width, frame.height, format,
                                            width, height, AV_PIX_FMT_RGB24, SWS_AREA, nullptr,
                                            nullptr, nullptr));
        if (!m_scaler) return std::nullopt;
        int colorspace = frame.colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        const int* coefficients = sws_getCoefficients(colorspace);
        sws_setColorspaceDetails(m_scaler.get(), coefficients,
                                 frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0, coefficients, 1, 0,
                                 1 << 16, 1 << 16);

        Bitmap bitmap;
        bitmap.width = width;
        bitmap.height = height;
        bitmap.channels = 3;
        bitmap.pixels.resize(static_cast<std::size_t>(width) * height * 3);
        std::uint8_t* planes[4] = {bitmap.pixels.data(), nullptr, nullptr, nullptr};
        int strides[4] = {width * 3, 0, 0, 0};
        if (sws_scale(m_scaler.get(), frame.data, frame.linesize, 0, frame.height, planes,
                      strides) != height) {
            return std::nullopt;
        }
        return rotate(std::move(bitmap), m_turns);
    }

  private:
    int m_side;
    int m_turns;
    std::unique_ptr<SwsContext, ScalerFree> m_scaler;
};

// Picks the still among the decoded frames: the first at or after the chosen moment that is
// not black, else the brightest of those tried.
class FramePicker {
  public:
    FramePicker(FrameScaler& scaler, std::int64_t from) : m_scaler(scaler), m_from(from) {}

    // Looks at one decoded frame; true once the still is chosen.
    bool offer(const AVFrame& frame) {
        std::int64_t time = frame.best_effort_timestamp;
        if (time != AV_NOPTS_VALUE && time < m_from) {
            // Kept in case the video ends before the chosen moment (its length was wrong).
            m_early.reset(av_frame_clone(&frame));
            return false;
        }
        return consider(frame);
    }

    std::optional<Bitmap> finish() {
        if (!m_best && m_early) consider(*m_early);
        return std::move(m_best);
    }

  private:
    bool consider(const AVFrame& frame) {
        std::optional<Bitmap> still = m_scaler(frame);
        if (!still) return false;
        double luma = meanLuma(*still);
        if (!m_best || luma > m_bestLuma) {
            m_best = std::move(still);
            m_bestLuma = luma;
        }
        return m_bestLuma >= kDarkLuma || ++m_tried >= kFramesToTry;
    }

    FrameScaler& m_scaler;
    std::int64_t m_from;
    Frame m_early;
    std::optional<Bitmap> m_best;
    double m_bestLuma = -1;
    int m_tried = 0;
};

// Where to take the still, in the stream's time base, after seeking close before it.
std::int64_t seekToStill(AVFormatContext& container, const AVStream& stream) {
    std::int64_t start = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    if (container.duration == AV_NOPTS_VALUE || container.duration <= 0) return start;
    double seconds = std::min(
        kLatestSeconds, kShareOfLength * static_cast<double>(container.duration) / AV_TIME_BASE);
    std::int64_t target = start + av_rescale_q(static_cast<std::int64_t>(seconds * AV_TIME_BASE),
                                               AV_TIME_BASE_Q, stream.time_base);
    // Lands on the key frame before the target; if seeking fails, decoding simply runs from
    // the start up to it.
    av_seek_frame(&container, stream.index, target, AVSEEK_FLAG_BACKWARD);
    return target;
}

}  // namespace

std::optional<Bitmap> thumbnailVideo(const std::filesystem::path& file, int side) {
    if (side <= 0) return std::nullopt;
    VideoContainer container = openVideoContainer(file);
    if (!container || avformat_find_stream_info(container.get(), nullptr) < 0) return std::nullopt;
    int index = av_find_best_stream(container.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return std::nullopt;
    const AVStream* stream = container->streams[index];
    // A frame size claimed in the header is refused before any frame is decoded.
    if (static_cast<std::int64_t>(stream->codecpar->width) * stream->codecpar->height >
        kMaxDecodePixels)
        return std::nullopt;
    Decoder decoder = openDecoder(stream);
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    if (!decoder || !packet || !frame) return std::nullopt;

    FrameScaler scaler(side, quarterTurns(stream));
    FramePicker picker(scaler, seekToStill(*container, *stream));
    auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            bool chosen = picker.offer(*frame);
            av_frame_unref(frame.get());
            if (chosen) return true;
        }
        return false;
    };

    for (int packets = 0; packets < kMaxPackets; ++packets) {
        if (av_read_frame(container.get(), packet.get()) < 0) {
            // End of file (or unreadable): take whatever the decoder still holds.
            if (avcodec_send_packet(decoder.get(), nullptr) == 0) drain();
            break;
        }
        bool ours = packet->stream_index == index;
        // A damaged packet is skipped; the decoder resynchronises on the next one.
        if (ours) avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        if (ours && drain()) break;
    }
    return picker.finish();
}

}  // namespace skiff::media
