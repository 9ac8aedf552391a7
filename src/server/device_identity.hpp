#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace skiff::server {

// Names for the phone or computer behind a request, read from its User-Agent text ("" when
// the header is absent). The words are matched case-sensitively, as browsers spell them.

// Short label shown in lists, e.g. "iPhone" or "Máy Windows".
std::string deviceLabel(std::string_view userAgent);

// One of "ipad", "iphone", "android", "tablet", "windows", "mac" or "other".
std::string deviceKind(std::string_view userAgent);

// The model an Android browser reports (e.g. "SM-S918B"), cleaned up and at most 24
// characters; none when the browser hides it or gives a placeholder.
std::optional<std::string> androidModel(std::string_view userAgent);

// Long name: the label, or the tablet wording, followed by the Android model when known.
std::string deviceName(std::string_view userAgent);

}  // namespace skiff::server
