// Serves the files named on the command line as shared files "f0", "f1", ... with the session
// code 123456, on a port the system picks, until SIGINT or SIGTERM. Prints "port N" once it
// listens. Usage: bench_transfer_server RECEIVE_FOLDER FILE...

#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "server/file_server.hpp"
#include "server/io_pool.hpp"
#include "server/main_loop.hpp"
#include "server/records.hpp"
#include "server/stop_signals.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RECEIVE_FOLDER FILE...\n", argv[0]);
        return 2;
    }
    std::vector<skiff::server::SharedFile> shared;
    for (int i = 2; i < argc; ++i) {
        std::filesystem::path path = std::filesystem::absolute(argv[i]);
        std::error_code error;
        auto size = std::filesystem::file_size(path, error);
        if (error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
            return 2;
        }
        shared.push_back({"f" + std::to_string(i - 2), path, path.filename().string(),
                          static_cast<std::int64_t>(size)});
    }

    skiff::server::StopSignals stopSignals;  // before any thread starts

    skiff::server::MainLoop loop;
    skiff::server::IoPool pool;
    auto server = skiff::server::FileServer::create(
        pool, argv[1], "123456",
        [&loop](std::function<void()> task) { loop.post(std::move(task)); });
    server->mutateTables([&](skiff::server::ServerTables& tables) { tables.shared = shared; });

    int exitCode = 0;
    server->start(
        0,
        [](std::uint16_t port) {
            std::printf("port %u\n", static_cast<unsigned>(port));
            std::fflush(stdout);
        },
        [&](std::error_code error) {
            std::fprintf(stderr, "cannot listen: %s\n", error.message().c_str());
            exitCode = 1;
            loop.quit();
        });

    stopSignals.watch([&loop] { loop.post([&loop] { loop.quit(); }); });
    if (exitCode == 0) loop.run();
    server->stop();
    stopSignals.close();
    return exitCode;
}
