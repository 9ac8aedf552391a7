#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace skiff::app {

// What a launch carries for the window it is to bring up: the Wayland activation token and
// the X11 startup id. Read before the application object exists, since Qt's X11 plugin takes
// the startup id out of the environment.
struct LaunchTokens {
    QString activationToken;  // XDG_ACTIVATION_TOKEN
    QString startupId;        // DESKTOP_STARTUP_ID

    static LaunchTokens fromEnvironment();
};

// One Skiff per session. The first launch owns the application id on the session bus and
// serves org.freedesktop.Application there; a later launch hands its files to it, asks it to
// come to the front and ends. A lock file (flock) keeps a second server from starting where
// there is no session bus. Needs the application object.
class SingleInstance : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

  public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Makes this launch the session's Skiff, or hands `toShare` (absolute paths) and `tokens`
    // to the Skiff that runs and says so in one line on standard output. Returns the exit
    // code when this launch is to end there.
    std::optional<int> claim(const std::vector<std::filesystem::path>& toShare,
                             const LaunchTokens& tokens);

    // Set by the front end before its event loop runs; calls come from that loop only.
    std::function<void(const std::vector<std::filesystem::path>&)> onOpen;
    std::function<void(const QString& activationToken)> onActivate;

    // The lock file: in XDG_RUNTIME_DIR, else beside the settings it protects.
    static std::filesystem::path lockFile();

  public slots:
    // The methods of org.freedesktop.Application, named as the interface names them.
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
    // Every URI must be a file on this computer that exists; otherwise nothing is shared and
    // the caller gets an error naming the first one that is not.
    Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
    Q_SCRIPTABLE void ActivateAction(const QString& action, const QVariantList& parameter,
                                     const QVariantMap& platformData);

  private:
    int handOver(const std::vector<std::filesystem::path>& toShare, const LaunchTokens& tokens);
    bool lock();

    bool m_ownsName = false;
    int m_lockFd = -1;
};

}  // namespace skiff::app
