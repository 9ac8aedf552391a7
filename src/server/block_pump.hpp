#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace skiff::server {

class Connection;

// Gives the next block of a streamed body, or none at its end.
using BlockProducer = std::function<std::optional<std::string>()>;

// Sends the blocks a producer makes, asking for the next one only after the network stack
// took the previous one, so one block per transfer is in memory. At the end the connection
// is closed and `finished(true)` runs; on a send error `finished(false)`.
void runBlockPump(const std::shared_ptr<Connection>& connection, BlockProducer producer,
                  std::function<void(bool ok)> finished);

}  // namespace skiff::server
