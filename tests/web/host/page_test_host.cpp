// The application model and its real server, driven line by line from standard input, so the
// page tests can do what the person at the computer does while a phone is connected:
//   c / k        allow or deny the oldest waiting device
//   share PATH   share one more file
//   unshare      stop sharing everything
//   text TEXT    offer one line of text
// Paths on the command line are shared from the start. It prints the same address and pairing
// lines as the terminal front end.
#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <set>
#include <string>
#include <thread>

#include "app/app_model.hpp"
#include "server/file_server.hpp"
#include "server/stop_signals.hpp"

namespace {

void say(const QString& line) {
    std::fputs(line.toStdString().c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

skiff::app::DesktopServices quietServices() {
    skiff::app::DesktopServices services;
    services.listInterfaces = [] { return std::vector<skiff::app::NetIface>(); };
    services.firewallState = [] { return skiff::app::FirewallReading{}; };
    services.prefetch = [](const std::filesystem::path&) {};
    services.notifyReceived = [](const std::filesystem::path&, const QString&) {};
    services.requestAttention = [] {};
    services.preview = [](const std::vector<std::filesystem::path>&, const std::filesystem::path&,
                          bool) { return false; };
    return services;
}

}  // namespace

int main(int argc, char** argv) {
    skiff::server::StopSignals stopSignals;
    QCoreApplication application(argc, argv);
    skiff::app::AppModel model(skiff::app::Timing::system(&application), quietServices());

    std::set<QString> asked;
    QObject::connect(&model, &skiff::app::AppModel::pendingChanged, [&] {
        for (const auto& request : model.pending()) {
            if (!asked.insert(request.id).second) continue;
            say("Kiểm tra số này giống số trên điện thoại: " + request.code);
        }
    });
    QObject::connect(&model, &skiff::app::AppModel::runningChanged, [&] {
        if (model.running())
            say("http://127.0.0.1:" + QString::number(model.server().port()) +
                "/?t=" + model.pin());
    });
    model.start();
    std::vector<std::filesystem::path> toShare;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') toShare.emplace_back(argv[i]);
    if (!model.error() && !toShare.empty()) model.share(toShare);
    if (model.error()) {
        say(model.errorText());
        return 1;
    }

    auto command = [&](const QString& line) {
        if (line == "c" || line == "k") {
            if (!model.pending().empty()) model.answer(model.pending().front().id, line == "c");
        } else if (line.startsWith("share ")) {
            model.share({std::filesystem::path(line.mid(6).toStdString())});
            say("Đang chia sẻ " + QString::number(model.shared().size()) + " file");
        } else if (line.startsWith("text ")) {
            model.shareText(line.mid(5));
            say("Đang chia sẻ " + QString::number(model.sharedTexts().size()) + " đoạn chữ");
        } else if (line == "unshare") {
            model.unshareAll();
            say("Đang chia sẻ 0 file");
        }
    };
    stopSignals.watch([&application] {
        QMetaObject::invokeMethod(
            &application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    std::thread reader([&application, &command] {
        for (std::string line; std::getline(std::cin, line);) {
            QString text = QString::fromStdString(line).trimmed();
            QMetaObject::invokeMethod(
                &application, [&command, text] { command(text); }, Qt::QueuedConnection);
        }
    });
    reader.detach();
    int code = application.exec();
    model.stop();
    stopSignals.close();
    return code;
}
