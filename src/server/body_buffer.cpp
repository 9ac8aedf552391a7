#include "server/body_buffer.hpp"

#include <algorithm>
#include <cstring>

namespace skiff::server {

std::pair<char*, std::size_t> BodyBuffer::room(std::size_t most) {
    std::size_t used = m_size % blockSize;
    if (used == 0 && m_size == m_blocks.size() * blockSize)
        m_blocks.emplace_back(new char[blockSize]);  // uninitialised: the socket fills it
    char* start = m_blocks.back().get() + used;
    return {start, std::min(most, blockSize - used)};
}

void BodyBuffer::append(std::string_view bytes) {
    while (!bytes.empty()) {
        auto [start, length] = room(bytes.size());
        std::memcpy(start, bytes.data(), length);
        commit(length);
        bytes.remove_prefix(length);
    }
}

std::string BodyBuffer::toString() const {
    std::string text;
    text.reserve(m_size);
    forEachPiece([&](std::string_view piece) { text.append(piece); });
    return text;
}

}  // namespace skiff::server
