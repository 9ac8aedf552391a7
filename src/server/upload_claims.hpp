#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/upload.hpp"

namespace skiff::server {

// Who may do what to an upload record, decided under the server's lock. An upload belongs to
// the host that began it: to every other host it does not exist. While a request holds it
// (busy) no other request may change it, and once it is finishing nothing may replace it.

enum class InitClaim {
    foreign,  // another host's uid: answered as unknown
    busy,     // held by a request that must not be disturbed
    resume,   // the same file asked again: keep what has arrived
    fresh,    // a new record takes the slot (replacing an idle one of the same host)
};
// The same file is the same size, name and folders.
InitClaim claimForInit(const Upload* slot, const std::string& host, std::int64_t size,
                       const std::string& name, const std::vector<std::string>& folders = {});

enum class UseClaim { unknown, busy, offset, incomplete, claimed };
// A chunk (with its offset) or the finish (without one). When claimed the upload is marked
// busy, and finishing for a finish, until its holder releases it.
UseClaim claimForUse(Upload* upload, const std::string& host, std::optional<std::int64_t> offset);

enum class CancelClaim { absent, busy, removable };
CancelClaim claimForCancel(const Upload* upload, const std::string& host);

}  // namespace skiff::server
