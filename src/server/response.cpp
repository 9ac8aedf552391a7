#include "server/response.hpp"

namespace skiff::server {

std::string_view reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 409:
            return "Conflict";
        case 410:
            return "Gone";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 416:
            return "Range Not Satisfiable";
        case 422:
            return "Unprocessable";
        case 428:
            return "Precondition Required";
        case 429:
            return "Too Many Requests";
        case 431:
            return "Header Too Large";
        case 500:
            return "Internal Error";
        case 507:
            return "Insufficient Storage";
        default:
            return "OK";
    }
}

std::string frameResponse(int status, std::string_view contentType, std::string_view body,
                          std::string_view extraHeaders) {
    std::string out;
    out.reserve(256 + extraHeaders.size() + body.size());
    out += "HTTP/1.1 ";
    out += std::to_string(status);
    out += ' ';
    out += reasonPhrase(status);
    out += "\r\nContent-Type: ";
    out += contentType;
    out += "\r\nContent-Length: ";
    out += std::to_string(body.size());
    out += "\r\n";
    out += extraHeaders;
    if (extraHeaders.find("Cache-Control") == std::string_view::npos)
        out += "Cache-Control: no-store\r\n";
    out +=
        "X-Content-Type-Options: nosniff\r\n"
        "X-Frame-Options: DENY\r\n"
        "Referrer-Policy: no-referrer\r\n"
        "Connection: close\r\n\r\n";
    out += body;
    return out;
}

std::string compactJson(const nlohmann::json& object) {
    try {
        return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace skiff::server
