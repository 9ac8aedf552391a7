#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace skiff::server {

// A file opened for reading, closed when the reader goes.
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
    // Moves the read position; false when that fails.
    bool seek(std::int64_t offset);
    // Up to `count` bytes from the read position; empty at the end or on an error.
    std::string read(std::size_t count);
    void close();
    // For sending with sendfile(2); -1 once closed.
    int fd() const { return m_fd; }

  private:
    explicit FileReader(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

}  // namespace skiff::server
