#include "app/port_memory.hpp"

#include <asio/error.hpp>

#include "app/error_text.hpp"

namespace skiff::app {

namespace {
const char* const kPortKey = "port";
}

std::optional<std::uint16_t> storedPort(const QSettings& settings) {
    bool number = false;
    int port = settings.value(kPortKey).toInt(&number);
    if (!number || port < 1 || port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

void storePort(QSettings& settings, std::uint16_t port) {
    if (storedPort(settings) == port) return;
    settings.setValue(kPortKey, port);
    settings.sync();  // a start that ends badly still leaves the next one the same address
}

ListenResult listenOn(server::FileServer& server, std::optional<std::uint16_t> first, bool mayMove,
                      const std::function<void(std::uint16_t)>& onReady) {
    // The server reports a failure to listen before start() returns.
    ListenResult result;
    auto failed = [&result](std::error_code error) { result.error = error; };
    server.start(first.value_or(0), onReady, failed);
    if (result.error && first && mayMove) {
        result = {std::nullopt, true};
        server.start(0, onReady, failed);
    }
    return result;
}

QString listenErrorText(std::error_code error, std::optional<std::uint16_t> asked) {
    // Asio's own category does not map its codes onto std::errc: compare with both.
    if (asked && (error == asio::error::address_in_use || error == std::errc::address_in_use))
        return "Cổng " + QString::number(*asked) +
               " đang được chương trình khác dùng. Chọn cổng khác với --port, hoặc bỏ --port để "
               "Skiff tự chọn cổng.";
    if (asked && (error == asio::error::access_denied || error == std::errc::permission_denied))
        return "Không được phép mở cổng " + QString::number(*asked) +
               " (cổng dưới 1024 cần quyền quản trị). Chọn cổng khác với --port.";
    return "Không mở được máy chủ nội bộ: " + errorReason(error);
}

}  // namespace skiff::app
