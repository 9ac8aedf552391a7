#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "server/sha256.hpp"

namespace skiff::server {

// One upload in progress; its mutable fields are touched only under the server's lock.
struct Upload {
    std::string uid;
    std::string name;  // cleaned file name
    // The cleaned folders the file sits in below the picked folder, outermost first, and the
    // batch they came in; both empty for a plain file.
    std::vector<std::string> folders;
    std::string batch;
    std::string host;
    std::string ua;
    std::int64_t size = 0;
    std::optional<double> mtime;  // seconds since 1970
    double started = 0;           // seconds since 1970 when the phone began it
    std::filesystem::path part;   // the hidden part file
    std::int64_t received = 0;    // valid bytes at the start of the part file
    // A request holds the upload alone: its part file is being made, a chunk written, or the
    // file verified and moved into place. Every other request for it is answered "busy".
    bool busy = false;
    bool finishing = false;  // the busy request is the finish
    Sha256 hasher;           // over exactly the first `received` bytes
};

}  // namespace skiff::server
