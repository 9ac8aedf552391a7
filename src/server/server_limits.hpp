#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace skiff::server {

// Deadlines and sizes of the transport; tests shorten the deadlines.
struct ServerLimits {
    std::size_t headLimit = 32768;                  // head bytes without a blank line
    std::size_t receiveSize = 65536;                // largest single receive of a head
    std::int64_t bodyLimit = 16777216;              // largest request body
    std::chrono::milliseconds idleTimeout{60000};   // a read or send making no progress
    std::chrono::milliseconds headTimeout{120000};  // a whole head, however it trickles in
    std::chrono::milliseconds drainTimeout{
        10000};                          // reading what a peer still sends after the answer
    std::size_t drainLimit = 20u << 20;  // bytes discarded after an answer before giving up
    std::chrono::milliseconds acceptBackoff{100};  // pause after running out of descriptors
    std::size_t hostConnectionLimit = 32;          // open connections from one host
    std::size_t connectionLimit = 16384;       // in all; kept below the descriptor limit as well
    std::size_t descriptorReserve = 256;       // descriptors left for files, the window, decoders
    std::int64_t bodyMemoryLimit = 268435456;  // the bodies of all requests together
    // A body must keep arriving at this rate, measured over the window, or it is dropped.
    std::int64_t bodyMinRate = 65536;
    std::chrono::milliseconds bodyRateWindow{30000};
};

}  // namespace skiff::server
