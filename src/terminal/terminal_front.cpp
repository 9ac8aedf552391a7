#include "terminal/terminal_front.hpp"

#include <unistd.h>

#include <QCoreApplication>
#include <QSettings>

#include <cstdio>
#include <iostream>
#include <set>
#include <thread>

#include "app/app_model.hpp"
#include "app/command_line.hpp"
#include "app/qr_code.hpp"
#include "app/single_instance.hpp"
#include "server/byte_count.hpp"
#include "server/session_code.hpp"
#include "server/stop_signals.hpp"
#include "server/utf8.hpp"

namespace skiff::terminal {

namespace {

// Prints one line and flushes it, so scripts reading a pipe see it at once.
void say(const QString& line) {
    std::fputs(line.toStdString().c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString bytes(std::int64_t count) {
    return QString::fromStdString(server::formatByteCount(count));
}

class TerminalFront : public QObject {
  public:
    TerminalFront(app::AppModel& model, bool live) : m_model(model), m_live(live) {
        connect(&model, &app::AppModel::runningChanged, this, [this] { showAddress(); });
        connect(&model, &app::AppModel::addressChanged, this, [this] { showAddress(); });
        connect(&model, &app::AppModel::errorChanged, this, [this] {
            clearLive();
            say(m_model.errorText());
        });
        connect(&model, &app::AppModel::firewallChanged, this, [this] { showFirewall(); });
        connect(&model, &app::AppModel::logChanged, this, [this] { showNewLogLines(); });
        connect(&model, &app::AppModel::devicesChanged, this, [this] { showDevices(); });
        connect(&model, &app::AppModel::pendingChanged, this, [this] { showPending(); });
        connect(&model, &app::AppModel::incomingChanged, this, [this] { showIncoming(); });
        connect(&model, &app::AppModel::downloadsChanged, this, [this] { showSending(); });
        // The whole text on one line, its line breaks and controls shown escaped.
        connect(&model, &app::AppModel::textReceived, this,
                [this](const QString& text, const QString& device) {
                    sayEvent("Chữ từ " + device + ": " + text);
                });
    }

    // A line typed by the user: the answer to the oldest waiting request.
    void answer(const QString& line) {
        QString word = line.trimmed().toLower();
        if (word == "m") return m_model.newCode();
        if (m_model.pending().empty() || word.isEmpty()) return;
        if (word == "t") return m_model.denyAll();
        bool allow = word == "c" || word == "y";
        bool deny = word == "k" || word == "n";
        if (!allow && !deny)
            return say("Gõ c để cho phép, k để từ chối, t để từ chối tất cả, m để đổi mã mới.");
        m_model.answer(m_model.pending().front().id, allow);
    }

    // The count a burst reached when it is not yet printed: at the end or when it is over.
    void flushHeldLine() {
        if (m_heldLine.isEmpty()) return;
        sayEvent(m_heldLine);
        m_heldLine.clear();
    }

  private:
    // An event line, its control characters shown escaped.
    void sayEvent(const QString& line) {
        clearLive();
        say(QString::fromStdString(server::escapeControls(line.toStdString())));
    }

    void clearLive() {
        if (m_liveShown) std::fputs("\r\033[K", stdout);
        m_liveShown = false;
    }

    void showAddress() {
        if (!m_model.running()) return;
        QString code = QString::fromStdString(server::groupedCode(m_model.pin().toStdString()));
        auto address = m_model.address();
        QString shown = address.value_or("-") + code;
        if (shown == m_lastAddress) return;
        m_lastAddress = shown;
        clearLive();
        if (address) {
            std::string code = app::qrTerminal(address->toStdString());
            if (m_live) {
                // White blocks on black whatever the terminal's colours, so the code is never
                // drawn inverted on a light theme.
                std::string painted;
                std::size_t start = 0;
                for (std::size_t end; (end = code.find('\n', start)) != std::string::npos;
                     start = end + 1)
                    painted += "\033[97;40m" + code.substr(start, end - start) + "\033[0m\n";
                code = painted;
            }
            std::fputs(code.c_str(), stdout);
            auto iface = m_model.currentIface();
            say("Đang mở · " + QString::fromStdString(iface->label));
            say("Quét mã bằng camera điện thoại, hoặc mở " + *address);
        } else {
            say("Chưa có mạng — máy tính chưa vào mạng Wi-Fi/LAN nào");
            say("Trên chính máy này: http://localhost:" + QString::number(m_model.server().port()) +
                "/?t=" + m_model.pin());
        }
        say("Mã phiên " + code);
    }

    // After the address: the command that opens the port in the firewall that is on, and why
    // the port is not the one of the last start.
    void showFirewall() {
        if (!m_model.running()) return;
        QString port = QString::number(m_model.port());
        QString name = m_model.firewallNameText();
        QStringList lines;
        if (!name.isEmpty())
            lines << "Tường lửa (" + name +
                         ") đang bật. Nếu điện thoại không mở được trang, mở cổng " + port +
                         " bằng lệnh:"
                  << "  " + m_model.firewallCommandText();
        if (int old = m_model.portMovedFrom()) {
            QString from = QString::number(old);
            lines << "Cổng " + from + " của lần trước đang bận nên Skiff đã chuyển sang cổng " +
                         port + ": địa chỉ và mã QR đã đổi" +
                         (name.isEmpty() ? QString()
                                         : ", quy tắc tường lửa đã tạo cho cổng " + from +
                                               " không còn tác dụng") +
                         ".";
        }
        if (lines == m_lastFirewall) return;
        m_lastFirewall = lines;
        clearLive();
        for (const QString& line : lines) say(line);
    }

    // The model announces each line as it puts it at the front of the log. Of a burst only
    // the news is printed, and its final count once it is over, so no attempt goes untold.
    void showNewLogLines() {
        if (m_model.log().isEmpty()) return;
        if (m_model.newestLogLineRepeats() == 1) flushHeldLine();
        m_heldLine.clear();
        if (!m_model.newestLogLineIsNews()) {
            m_heldLine = m_model.log().front();
            return;
        }
        sayEvent(m_model.log().front());
    }

    void showDevices() {
        for (const auto& device : m_model.devices()) {
            if (m_announced.count(device.host)) continue;
            m_announced.insert(device.host);
            clearLive();
            say(device.label + " đã kết nối (" + device.host + ")");
        }
        if (m_model.devices().empty()) m_announced.clear();  // a new code forgets them
    }

    void showPending() {
        for (const auto& request : m_model.pending()) {
            if (m_asked.count(request.id)) continue;
            m_asked.insert(request.id);
            clearLive();
            say("“" + request.label + "” muốn kết nối");
            say("Kiểm tra số này giống số trên điện thoại: " + request.code);
            say("Địa chỉ " + request.host + " · đã nhập đúng mã phiên");
            say("Cho phép? c = Cho phép, k = Từ chối, t = Từ chối tất cả, m = Đổi mã mới");
        }
    }

    void showIncoming() {
        if (!m_live) return;  // without a terminal the event lines tell the story
        const auto& incoming = m_model.incoming();
        if (!incoming) return clearLive();
        int percent =
            incoming->size > 0 ? static_cast<int>(100 * incoming->received / incoming->size) : 100;
        QString speed =
            m_model.speed() > 0 ? QString::asprintf("%.1f MB/s", m_model.speed() / 1e6) : "…";
        QString line = "Đang nhận từ " + QString::fromStdString(incoming->device) + ": " +
                       QString::fromStdString(incoming->name) + " " + QString::number(percent) +
                       "% · " + bytes(incoming->received) + " / " + bytes(incoming->size) + " · " +
                       speed;
        std::fputs(("\r\033[K" + line).toStdString().c_str(), stdout);
        std::fflush(stdout);
        m_liveShown = true;
    }

    // The phones' progress over the shared files, on the live line while nothing arrives.
    void showSending() {
        if (!m_live || m_model.incoming() || m_model.shared().empty()) return;
        app::SendSummary summary = m_model.sendSummary();
        if (!summary.active && !summary.done) return;
        QString device = m_model.sendDevice().value_or("điện thoại");
        QString line =
            summary.done
                ? device + " đã tải xong " + QString::number(m_model.shared().size()) + " file"
                : device + " đang tải về · " +
                      QString::number(static_cast<int>(summary.fraction * 100)) + "% · " +
                      QString::asprintf("%.1f MB/s", m_model.sendSpeed() / 1e6);
        std::fputs(("\r\033[K" + line).toStdString().c_str(), stdout);
        std::fflush(stdout);
        m_liveShown = true;
    }

    app::AppModel& m_model;
    bool m_live;
    bool m_liveShown = false;
    QString m_lastAddress;
    QStringList m_lastFirewall;
    QString m_heldLine;  // the latest count of a burst, not yet printed
    std::set<QString> m_announced;
    std::set<QString> m_asked;
};

}  // namespace

int runTerminalFront(int argc, char** argv, const std::vector<std::filesystem::path>& toShare) {
    server::StopSignals stopSignals;  // before any thread starts

    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Skiff");
    QCoreApplication::setApplicationName("Skiff");
    app::SingleInstance instance;
    if (auto code = instance.claim(toShare, app::LaunchTokens::fromEnvironment())) return *code;
    QSettings settings;
    auto services = app::DesktopServices::system();
    bool onTerminal = isatty(STDOUT_FILENO);
    // The bell rings on a terminal only: in a pipe it would sit in front of the next event
    // line, where a script reading lines does not expect it.
    services.requestAttention = [onTerminal] {
        if (!onTerminal) return;
        std::fputc('\a', stdout);
        std::fflush(stdout);
    };
    app::AppModel model(app::Timing::system(&application), services, &settings);
    if (auto port = app::parseCommandLine(argc, argv).port) model.askPort(*port);
    TerminalFront front(model, onTerminal);
    model.start();
    if (!model.error()) model.share(toShare);
    auto shareLine = [&model] {
        say("Đang chia sẻ " + QString::number(model.shared().size()) + " file");
    };
    if (!toShare.empty()) shareLine();
    // Files another launch hands over join those of the command line.
    instance.onOpen = [&model, shareLine](const std::vector<std::filesystem::path>& paths) {
        model.share(paths);
        shareLine();
    };

    stopSignals.watch([&application] {
        QMetaObject::invokeMethod(
            &application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    // Answers come line by line; the end of input only ends the answering.
    std::thread reader([&front, &application] {
        for (std::string line; std::getline(std::cin, line);) {
            QString text = QString::fromStdString(line);
            QMetaObject::invokeMethod(
                &application, [&front, text] { front.answer(text); }, Qt::QueuedConnection);
        }
    });
    reader.detach();  // blocked in read until the process ends

    int code = model.error() ? 1 : application.exec();
    front.flushHeldLine();
    model.stop();
    stopSignals.close();
    return model.error() ? 1 : code;
}

}  // namespace skiff::terminal
