#include "server/folder_tree.hpp"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace skiff::server {

namespace {

// The kernel refuses every link on the way itself where it can (5.6 on); older kernels, and
// sandboxes that filter the call, get the same rule from O_NOFOLLOW on a single name.
int openFolderBeneath(int parent, const char* name) {
    static std::atomic<bool> lacksOpenat2{false};
    if (!lacksOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
        long fd = ::syscall(SYS_openat2, parent, name, &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        if (errno == ENOSYS)
            lacksOpenat2.store(true, std::memory_order_relaxed);
        else if (errno != EPERM)
            return -1;
    }
    return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

}  // namespace

FolderTree::FolderTree(const std::filesystem::path& root) {
    m_fds.push_back(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FolderTree::~FolderTree() {
    for (int fd : m_fds)
        if (fd >= 0) ::close(fd);
}

std::error_code FolderTree::open(const std::string& folder, bool made) {
    int fd = openFolderBeneath(current(), folder.c_str());
    if (fd < 0) {
        // A link or a file where a folder belongs is one answer, however the kernel says it.
        int error = errno == ELOOP || errno == EXDEV ? ENOTDIR : errno;
        if (made) ::unlinkat(current(), folder.c_str(), AT_REMOVEDIR);
        return {error, std::generic_category()};
    }
    m_fds.push_back(fd);
    m_names.push_back(folder);
    m_made.push_back(made);
    return {};
}

std::error_code FolderTree::enter(const std::string& folder) {
    if (current() < 0) return {EBADF, std::generic_category()};
    bool made = ::mkdirat(current(), folder.c_str(), 0755) == 0;
    if (!made && errno != EEXIST) return lastError();
    return open(folder, made);
}

std::error_code FolderTree::enterNew(const std::string& folder) {
    if (current() < 0) return {EBADF, std::generic_category()};
    if (::mkdirat(current(), folder.c_str(), 0755) != 0) return lastError();
    return open(folder, true);
}

void FolderTree::undo() {
    while (m_fds.size() > 1) {
        ::close(m_fds.back());
        m_fds.pop_back();
        bool made = m_made.back();
        std::string name = m_names.back();
        m_made.pop_back();
        m_names.pop_back();
        // A folder that is no longer empty now holds someone else's file: it stays.
        if (made) ::unlinkat(current(), name.c_str(), AT_REMOVEDIR);
    }
}

bool FolderTree::sync(bool alsoCurrent) const {
    bool ok = true;
    for (std::size_t level = 0; level < m_made.size(); ++level)
        if (m_made[level]) ok = ::fsync(m_fds[level]) == 0 && ok;
    if (alsoCurrent) ok = ::fsync(current()) == 0 && ok;
    return ok;
}

bool FolderTree::madeAny() const {
    for (bool made : m_made)
        if (made) return true;
    return false;
}

}  // namespace skiff::server
