#pragma once

#include <chrono>
#include <cstdint>

namespace skiff::media {

// Pictures, videos and PDFs come from phones, so every decode is bounded before it starts
// (by what the header claims) and while it runs (in a child process with resource limits).

// Far past any phone camera (a 200 MP sensor bins to 50 MP); a claim above this is refused
// from the header, before a pixel is decoded.
constexpr std::int64_t kMaxDecodePixels = 100'000'000;
// A PDF's thumbnail is its first page, but the parser walks the whole page tree first.
constexpr int kMaxPdfPages = 10'000;
constexpr std::int64_t kMaxPdfBytes = 512LL * 1024 * 1024;

// What one decoder process may use. Address space covers the decoded picture at the pixel
// limit (4 bytes a pixel) with room for the libraries; CPU seconds stop a busy loop the
// deadline below would otherwise only catch on the wall clock.
constexpr std::uint64_t kDecoderAddressSpace = 1536ULL * 1024 * 1024;
constexpr unsigned kDecoderCpuSeconds = 20;

// Wall-clock deadlines after which the decoder is killed and the file counts as undrawable.
constexpr std::chrono::seconds kThumbnailDeadline{30};
constexpr std::chrono::seconds kProbeDeadline{10};

}  // namespace skiff::media
