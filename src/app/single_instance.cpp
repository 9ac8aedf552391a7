#include "app/single_instance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "app/application_id.hpp"

namespace skiff::app {

namespace {

namespace fs = std::filesystem;

const QString kInterface = "org.freedesktop.Application";
const QString kNotFound = QString(applicationId) + ".Error.NotFound";
// Long enough for a first Skiff that is still starting up to reach its event loop.
constexpr int kCallTimeoutMs = 20000;

// The object path the interface asks for: the id with its dots as slashes.
QString objectPath() {
    return "/" + QString(applicationId).replace('.', '/').replace('-', '_');
}

void say(const QString& line) {
    std::fputs((line + "\n").toStdString().c_str(), stdout);
    std::fflush(stdout);
}

QVariantMap platformData(const LaunchTokens& tokens) {
    QVariantMap data;
    if (!tokens.activationToken.isEmpty()) data["activation-token"] = tokens.activationToken;
    if (!tokens.startupId.isEmpty()) data["desktop-startup-id"] = tokens.startupId;
    return data;
}

QString handedOverLine(const std::vector<fs::path>& toShare) {
    if (toShare.empty()) return "Skiff đang chạy rồi.";
    bool folders = false;
    for (const auto& path : toShare) {
        std::error_code error;
        folders = folders || fs::is_directory(path, error);
    }
    return "Skiff đang chạy rồi, đã chuyển " + QString::number(toShare.size()) +
           (folders ? " mục" : " file") + " sang để chia sẻ.";
}

}  // namespace

LaunchTokens LaunchTokens::fromEnvironment() {
    return {qEnvironmentVariable("XDG_ACTIVATION_TOKEN"),
            qEnvironmentVariable("DESKTOP_STARTUP_ID")};
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (m_ownsName) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(applicationId);
        bus.unregisterObject(objectPath());
    }
    if (m_lockFd >= 0) ::close(m_lockFd);
}

fs::path SingleInstance::lockFile() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    std::error_code error;
    if (!fs::path(folder.toStdString()).is_absolute() ||
        !fs::is_directory(folder.toStdString(), error))
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Skiff";
    return fs::path(folder.toStdString()) / (std::string(applicationId) + ".lock");
}

std::optional<int> SingleInstance::claim(const std::vector<fs::path>& toShare,
                                         const LaunchTokens& tokens) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // The object is there before the name, so a launch that finds the name can call it.
        bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots);
        m_ownsName = bus.registerService(applicationId);
        if (!m_ownsName) {
            bus.unregisterObject(objectPath());
            return handOver(toShare, tokens);
        }
    }
    if (lock()) return std::nullopt;
    // The one that holds the lock runs without this bus (another session, or none at all).
    say(QString(m_ownsName ? "Skiff đang chạy rồi nhưng không ở trên D-Bus phiên này"
                           : "Skiff đang chạy rồi, nhưng không có D-Bus phiên") +
        " nên lần chạy này không liên lạc được với nó. Hãy dùng Skiff đang chạy, hoặc thoát nó "
        "rồi chạy lại (khoá: " +
        QString::fromStdString(lockFile().string()) + ").");
    return 1;
}

bool SingleInstance::lock() {
    fs::path file = lockFile();
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    // Close-on-exec: a decoder child holding the descriptor would hold the lock after a crash.
    m_lockFd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock that cannot be made keeps nobody from working; only a held one refuses.
    if (m_lockFd < 0) return true;
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) return true;
    bool held = errno == EWOULDBLOCK;
    ::close(m_lockFd);
    m_lockFd = -1;
    return !held;
}

int SingleInstance::handOver(const std::vector<fs::path>& toShare, const LaunchTokens& tokens) {
    QStringList uris;
    for (const auto& path : toShare)
        uris << QString::fromUtf8(
            QUrl::fromLocalFile(QString::fromStdString(path.string())).toEncoded());
    QDBusMessage call = QDBusMessage::createMethodCall(applicationId, objectPath(), kInterface,
                                                       uris.isEmpty() ? "Activate" : "Open");
    if (!uris.isEmpty()) call << uris;
    call << platformData(tokens);
    QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        say(handedOverLine(toShare));
        return 0;
    }
    // A file gone between this launch's check and the hand-over is told as on a command line.
    if (reply.errorName() == kNotFound) {
        std::fprintf(stderr, "skiff: %s\n", reply.errorMessage().toStdString().c_str());
        return 2;
    }
    say("Skiff đang chạy nhưng không trả lời (" + reply.errorMessage() +
        "). Hãy thoát Skiff đang chạy rồi thử lại.");
    return 1;
}

void SingleInstance::Activate(const QVariantMap& platformData) {
    if (onActivate) onActivate(platformData.value("activation-token").toString());
}

void SingleInstance::Open(const QStringList& uris, const QVariantMap& platformData) {
    std::vector<fs::path> paths;
    for (const QString& uri : uris) {
        QUrl url(uri);
        if (!url.isValid() || !url.isLocalFile()) {
            sendErrorReply(QDBusError::InvalidArgs, "không phải file trên máy này: " + uri);
            return;
        }
        fs::path path = url.toLocalFile().toStdString();
        std::error_code error;
        if (!fs::exists(path, error)) {
            sendErrorReply(kNotFound, "không tìm thấy: " + url.toLocalFile());
            return;
        }
        paths.push_back(path.lexically_normal());
    }
    if (onOpen && !paths.empty()) onOpen(paths);
    Activate(platformData);
}

void SingleInstance::ActivateAction(const QString& action, const QVariantList&,
                                    const QVariantMap&) {
    sendErrorReply(QDBusError::InvalidArgs, "Skiff has no action named " + action);
}

}  // namespace skiff::app
