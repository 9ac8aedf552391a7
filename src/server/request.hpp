#pragma once

#include <map>
#include <string>

namespace skiff::server {

// The parsed head of one request.
struct Request {
    std::string method;                          // exactly as sent
    std::string path;                            // percent-decoded, no query
    std::string rawPath;                         // the target as sent, query included
    std::map<std::string, std::string> query;    // decoded; the last of a repeated name wins
    std::map<std::string, std::string> headers;  // names lower-cased, values trimmed

    const std::string* header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? nullptr : &it->second;
    }
    const std::string* param(const std::string& name) const {
        auto it = query.find(name);
        return it == query.end() ? nullptr : &it->second;
    }
};

}  // namespace skiff::server
