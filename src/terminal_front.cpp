#include "terminal_front.hpp"

#include <ifaddrs.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "server/file_server.hpp"
#include "server/io_pool.hpp"
#include "server/local_network.hpp"
#include "server/main_loop.hpp"
#include "server/session_code.hpp"

namespace skiff {

namespace {

// The XDG download folder (user-dirs.dirs, else ~/Downloads) with "Skiff" inside it.
std::filesystem::path defaultReceiveFolder() {
    const char* homeText = std::getenv("HOME");
    std::filesystem::path home = homeText ? homeText : "/tmp";
    const char* configText = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path config = configText && *configText ? configText : home / ".config";
    std::filesystem::path downloads = home / "Downloads";
    std::ifstream dirs(config / "user-dirs.dirs");
    for (std::string line; std::getline(dirs, line);) {
        constexpr std::string_view key = "XDG_DOWNLOAD_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home.string() + value.substr(5);
        if (!value.empty() && value.front() == '/') downloads = value;
    }
    return downloads / "Skiff";
}

// IPv4 addresses of this computer that phones on the local network can reach.
std::vector<std::string> privateAddresses() {
    std::vector<std::string> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        char text[NI_MAXHOST];
        if (getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), text, sizeof text, nullptr, 0,
                        NI_NUMERICHOST) != 0)
            continue;
        std::string address = text;
        if (address.rfind("127.", 0) == 0 || !server::isLocalHost(address)) continue;
        if (std::find(found.begin(), found.end(), address) == found.end()) found.push_back(address);
    }
    freeifaddrs(list);
    return found;
}

void printLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);  // scripts read the lines through a pipe as they come
}

}  // namespace

int runTerminalFront() {
    // Ctrl-C is taken by one thread with sigwait, so the server's threads never see it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    server::MainLoop loop;
    std::string code = server::makeSessionCode();
    server::IoPool pool;
    auto fileServer = server::FileServer::create(
        pool.context(), defaultReceiveFolder(), code,
        [&loop](std::function<void()> task) { loop.post(std::move(task)); });
    server::ServerCallbacks callbacks;
    callbacks.onEvent = [](const std::string& line) { printLine(line); };
    fileServer->setCallbacks(std::move(callbacks));

    int exitCode = 0;
    fileServer->start(
        0,
        [&](std::uint16_t port) {
            printLine("Mã phiên " + server::groupedCode(code));
            auto addresses = privateAddresses();
            if (addresses.empty()) addresses.push_back("localhost");
            for (const auto& address : addresses)
                printLine("http://" + address + ":" + std::to_string(port) + "/?t=" + code);
        },
        [&](std::error_code error) {
            std::fprintf(stderr, "Không khởi động được máy chủ: %s\n", error.message().c_str());
            exitCode = 1;
            loop.quit();
        });

    std::thread signalWaiter([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        loop.post([&] { loop.quit(); });
    });
    if (exitCode == 0) loop.run();
    fileServer->stop();
    if (signalWaiter.joinable()) {
        if (exitCode != 0) pthread_kill(signalWaiter.native_handle(), SIGTERM);
        signalWaiter.join();
    }
    return exitCode;
}

}  // namespace skiff
