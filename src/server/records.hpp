#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace skiff::server {

// The upload in flight, as the computer's window shows it.
struct Incoming {
    std::string uid;
    std::string name;
    std::string device;  // short device label
    std::int64_t received = 0;
    std::int64_t size = 0;
};

// One report about one phone's upload card.
struct Flow {
    enum class State { progress, done, cancel };
    std::string host;
    std::string kind;
    std::string device;  // long device name
    std::string uid;
    std::string name;
    std::int64_t received = 0;
    std::int64_t size = 0;
    State state = State::progress;
};

struct ReceivedFile {
    std::filesystem::path url;
    std::int64_t size = 0;
    std::string sha256;  // 64 lower-case hex digits
    std::string host;
    std::string device;                         // short device label
    std::optional<std::string> maybeConverted;  // "jpg" or "mp4"
    std::string folder;  // where below the receive folder, "Ảnh/2024/"; empty at its top
    // A text the phone sent rather than a file: what the stored .txt file holds.
    std::optional<std::string> text;
};

// Progress of one shared file towards one phone.
struct Download {
    std::string fileId;
    std::string host;
    std::string device;  // long device name
    std::string kind;
    std::int64_t sent = 0;
    std::int64_t size = 0;
    bool done = false;
};

// A file the computer offers to the phones.
struct SharedFile {
    std::string id;  // 32 lower-case hex digits
    std::filesystem::path url;
    std::string name;
    std::int64_t size = 0;
};

// A text the computer offers to the phones, a link or a code to copy.
struct SharedText {
    std::string id;  // 32 lower-case hex digits
    std::string text;
};

// file id -> host -> latest download state
using DownloadTable = std::map<std::string, std::map<std::string, Download>>;

}  // namespace skiff::server
