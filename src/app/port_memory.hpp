#pragma once

#include <QSettings>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <system_error>

#include "server/file_server.hpp"

namespace skiff::app {

// The listening port is kept between starts, so the address, a bookmark, a printed QR code and
// a firewall rule made for it stay good from one day to the next.
std::optional<std::uint16_t> storedPort(const QSettings& settings);
void storePort(QSettings& settings, std::uint16_t port);

struct ListenResult {
    std::optional<std::error_code> error;  // set when nothing listens
    bool moved = false;                    // `first` was taken, so a fresh port was used
};

// Listens on `first`, or on any free port when there is none. A `first` that cannot be had
// gives way to a fresh port when `mayMove`; otherwise that failure is the result.
ListenResult listenOn(server::FileServer& server, std::optional<std::uint16_t> first, bool mayMove,
                      const std::function<void(std::uint16_t)>& onReady);

// Why the server could not start, with the port that was asked for on the command line.
QString listenErrorText(std::error_code error, std::optional<std::uint16_t> asked);

}  // namespace skiff::app
