#include "server/body_buffer.hpp"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace skiff::server {

namespace {

std::mutex poolLock;
std::vector<char*>& pool() {
    static auto* blocks = new std::vector<char*>();  // never destroyed: bodies may outlive exit
    return *blocks;
}

char* takeBlock() {
    {
        std::lock_guard guard(poolLock);
        if (!pool().empty()) {
            char* block = pool().back();
            pool().pop_back();
            return block;
        }
    }
    return new char[BodyBuffer::blockSize];  // uninitialised: the socket fills it
}

}  // namespace

void BodyBuffer::GiveBack::operator()(char* block) const {
    {
        std::lock_guard guard(poolLock);
        if (pool().size() < pooledBlocks) {
            pool().push_back(block);
            return;
        }
    }
    delete[] block;
}

std::pair<char*, std::size_t> BodyBuffer::room(std::size_t most) {
    std::size_t used = m_size % blockSize;
    if (used == 0 && m_size == m_blocks.size() * blockSize) m_blocks.emplace_back(takeBlock());
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
