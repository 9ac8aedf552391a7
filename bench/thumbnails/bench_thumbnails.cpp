// Makes the usual thumbnail of every file named on the command line through a fresh
// ThumbStore, the way new files are prefetched, and waits until all are cached. Prints the
// count, the seconds taken and files per second; exits non-zero if any thumbnail is missing.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "media/thumb_store.hpp"

int main(int argc, char** argv) {
    using skiff::media::ThumbStore;
    std::vector<std::filesystem::path> files(argv + 1, argv + argc);
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }

    auto start = std::chrono::steady_clock::now();
    ThumbStore store;
    for (const auto& file : files) store.prefetch(file);
    store.waitIdle();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    int missing = 0;
    for (const auto& file : files) {
        if (!store.cachedJpeg(file, ThumbStore::kPrefetchSide)) {
            std::fprintf(stderr, "no thumbnail for %s\n", file.c_str());
            ++missing;
        }
    }
    std::printf("%zu files in %.3f s: %.2f files/s\n", files.size(), seconds,
                static_cast<double>(files.size()) / seconds);
    return missing == 0 ? 0 : 1;
}
