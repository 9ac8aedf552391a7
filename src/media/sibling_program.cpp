#include "media/sibling_program.hpp"

#include <unistd.h>

namespace skiff::media {

std::filesystem::path siblingProgram(const char* name, const std::filesystem::path& fallback) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::path folder = self.parent_path();
        for (const std::filesystem::path& candidate :
             {folder / name, folder / ".." / "libexec" / "skiff" / name}) {
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return fallback;
}

}  // namespace skiff::media
