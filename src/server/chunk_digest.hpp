#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/sha256.hpp"
#include "server/upload.hpp"

namespace skiff::server {

// The CRC-32 of one chunk and the upload's SHA-256 carried through it, fed block by block as
// the body arrives, so the answer need not wait for a pass over 4 MiB. The SHA-256 carries on
// from the upload's state as it stood when the chunk's head came; it counts only if the upload
// still stands there once the chunk holds it, and is otherwise done again from the body.
class ChunkDigest {
  public:
    // Without a starting state only the CRC-32 is taken.
    ChunkDigest(std::shared_ptr<const Upload> upload, std::optional<Sha256> start);

    void add(std::string_view block);
    // Eight lower-case hex digits, as the phone sends them.
    std::string crcText() const;
    // The SHA-256 state after this chunk, when it began from `upload`'s own. Only asked once the
    // chunk holds the upload at the offset it stood at when the head came.
    std::optional<Sha256> hasherFor(const Upload* upload) const;

  private:
    std::shared_ptr<const Upload> m_upload;
    std::optional<Sha256> m_hasher;
    uLong m_crc;
};

}  // namespace skiff::server
