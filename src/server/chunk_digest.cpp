#include "server/chunk_digest.hpp"

#include <cstdio>

namespace skiff::server {

ChunkDigest::ChunkDigest(std::shared_ptr<const Upload> upload, std::optional<Sha256> start)
    : m_upload(std::move(upload)), m_hasher(std::move(start)), m_crc(crc32(0L, Z_NULL, 0)) {}

void ChunkDigest::add(std::string_view block) {
    m_crc =
        crc32(m_crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(block.size()));
    if (m_hasher) m_hasher->update(block);
}

std::string ChunkDigest::crcText() const {
    char text[9];
    std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(m_crc));
    return text;
}

std::optional<Sha256> ChunkDigest::hasherFor(const Upload* upload) const {
    // An upload's bytes only ever grow, so the record and its count of bytes name one state;
    // the claim has checked the count.
    if (!m_hasher || m_upload.get() != upload) return std::nullopt;
    return m_hasher;
}

}  // namespace skiff::server
