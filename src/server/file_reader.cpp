#include "server/file_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace skiff::server {

std::optional<FileReader> FileReader::open(const std::filesystem::path& path) {
    // Non-blocking, so a named pipe put where a shared file was cannot hold the thread in
    // open(); only a regular file has bytes to send (not a folder, pipe, socket or device).
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return FileReader(fd);
}

FileReader::FileReader(FileReader&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

FileReader::~FileReader() {
    close();
}

void FileReader::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

std::optional<std::int64_t> FileReader::size() const {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.st_size);
}

}  // namespace skiff::server
