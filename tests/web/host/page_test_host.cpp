// The application model and its server, driven by stdin lines: "c" / "k" (allow or deny the oldest
// waiting device), "share PATH", "unshare", "text TEXT"; it prints the terminal's address and code.
#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <set>
#include <string>
#include <thread>

#include "app/app_model.hpp"
#include "server/file_server.hpp"
#include "server/stop_signals.hpp"

int main(int argc, char** argv) {
    skiff::server::StopSignals stopSignals;
    QCoreApplication application(argc, argv);
    // No desktop services: no interfaces, firewall, notifications or previewer.
    skiff::app::AppModel model(skiff::app::Timing::system(&application), {});
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    auto say = [](const QString& line) { std::puts(line.toStdString().c_str()); };

    std::set<QString> asked;
    QObject::connect(&model, &skiff::app::AppModel::pendingChanged, [&] {
        for (const auto& request : model.pending())
            if (asked.insert(request.id).second)
                say("Kiểm tra số này giống số trên điện thoại: " + request.code);
    });
    QObject::connect(&model, &skiff::app::AppModel::runningChanged, [&] {
        if (model.running())
            say("http://127.0.0.1:" + QString::number(model.server().port()) +
                "/?t=" + model.pin());
    });
    model.start();
    std::vector<std::filesystem::path> toShare(argv + 1, argv + argc);
    if (!model.error() && !toShare.empty()) model.share(toShare);
    if (model.error()) {
        say(model.errorText());
        return 1;
    }

    auto command = [&](const QString& line) {
        if ((line == "c" || line == "k") && !model.pending().empty()) {
            model.answer(model.pending().front().id, line == "c");
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
    std::thread([&application, &command] {
        for (std::string line; std::getline(std::cin, line);) {
            QString text = QString::fromStdString(line).trimmed();
            QMetaObject::invokeMethod(
                &application, [&command, text] { command(text); }, Qt::QueuedConnection);
        }
    }).detach();
    int code = application.exec();
    model.stop();
    stopSignals.close();
    return code;
}
