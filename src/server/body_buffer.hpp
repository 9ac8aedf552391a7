#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skiff::server {

// A request body as it arrives: blocks taken one at a time as the bytes come, never
// zero-filled and never moved, so a body costs its bytes once and a peer that announces
// 16 MiB and sends one byte holds one block. Blocks go back to a small shared pool when the
// body is done: fresh memory costs a page fault per page as the socket fills it, which on a
// virtual machine can cost more than receiving the bytes.
class BodyBuffer {
  public:
    static constexpr std::size_t blockSize = 262144;
    // Two 4 MiB chunks' worth stays for the next bodies; more goes back to the system.
    static constexpr std::size_t pooledBlocks = 32;

    std::size_t size() const { return m_size; }
    // Free space for up to `most` more bytes, at the end of the last block or in a new one.
    std::pair<char*, std::size_t> room(std::size_t most);
    // `count` bytes were written into the room.
    void commit(std::size_t count) { m_size += count; }
    void append(std::string_view bytes);

    // Each block's bytes in order, as they sit in memory.
    template <typename Visit>
    void forEachPiece(Visit&& visit) const {
        std::size_t left = m_size;
        for (const auto& block : m_blocks) {
            std::size_t length = std::min(left, blockSize);
            if (length == 0) break;
            visit(std::string_view(block.get(), length));
            left -= length;
        }
    }
    // The filled bytes of block `index`.
    std::string_view block(std::size_t index) const {
        std::size_t start = index * blockSize;
        return {m_blocks[index].get(), std::min(m_size - start, blockSize)};
    }
    std::string toString() const;

  private:
    struct GiveBack {
        void operator()(char* block) const;
    };
    std::vector<std::unique_ptr<char[], GiveBack>> m_blocks;
    std::size_t m_size = 0;
};

}  // namespace skiff::server
