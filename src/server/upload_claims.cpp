#include "server/upload_claims.hpp"

namespace skiff::server {

InitClaim claimForInit(const Upload* slot, const std::string& host, std::int64_t size,
                       const std::string& name, const std::vector<std::string>& folders) {
    if (!slot) return InitClaim::fresh;
    if (slot->host != host) return InitClaim::foreign;
    // A phone back from a locked screen asks again while its dead chunk still holds the
    // upload: it learns what is kept, and its next chunk waits until that one is gone.
    if (slot->size == size && slot->name == name && slot->folders == folders && !slot->finishing)
        return InitClaim::resume;
    if (slot->busy) return InitClaim::busy;
    return InitClaim::fresh;
}

UseClaim claimForUse(Upload* upload, const std::string& host, std::optional<std::int64_t> offset) {
    // Another phone's upload is answered as if it did not exist: a uid seen on a shared
    // network must not let anyone else write, finish or even probe it.
    if (!upload || upload->host != host) return UseClaim::unknown;
    if (upload->busy) return UseClaim::busy;
    if (offset && *offset != upload->received) return UseClaim::offset;
    if (!offset && upload->received != upload->size) return UseClaim::incomplete;
    upload->busy = true;
    upload->finishing = !offset;
    return UseClaim::claimed;
}

CancelClaim claimForCancel(const Upload* upload, const std::string& host) {
    if (!upload || upload->host != host) return CancelClaim::absent;
    if (upload->busy) return CancelClaim::busy;
    return CancelClaim::removable;
}

}  // namespace skiff::server
