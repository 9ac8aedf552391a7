#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace skiff::server {

// A shared file opened for sending, closed when the reader goes.
class FileReader {
  public:
    // None when the file cannot be opened.
    static std::optional<FileReader> open(const std::filesystem::path& path);
    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&& other) noexcept;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    // The current size, or none when the file system cannot tell.
    std::optional<std::int64_t> size() const;
    void close();
    // For sending with sendfile(2); -1 once closed.
    int fd() const { return m_fd; }

  private:
    explicit FileReader(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

}  // namespace skiff::server
