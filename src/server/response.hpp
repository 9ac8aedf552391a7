#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace skiff::server {

// The reason phrase of a status; "OK" for a status the server does not name.
std::string_view reasonPhrase(int status);

// One complete response: status line, headers (the caller's extra lines, then "Cache-Control:
// no-store" unless the caller set its own, the security headers, "Connection: close") and body.
std::string frameResponse(int status, std::string_view contentType, std::string_view body,
                          std::string_view extraHeaders = {});

// Compact JSON; invalid UTF-8 in texts (file names can hold any bytes) becomes U+FFFD.
std::string compactJson(const nlohmann::json& object);

}  // namespace skiff::server
