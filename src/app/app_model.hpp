#pragma once

#include <QObject>
#include <QSettings>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/app_records.hpp"
#include "app/net_iface.hpp"
#include "app/timing.hpp"
#include "server/file_server.hpp"
#include "server/io_pool.hpp"

namespace skiff::app {

// What the model asks of the desktop; each has a working default, and tests or a front end
// may replace any of them.
struct DesktopServices {
    std::function<std::vector<NetIface>()> listInterfaces;
    std::function<std::optional<bool>()> firewallState;
    // Warms the thumbnail cache for a received or shared file.
    std::function<void(const std::filesystem::path&)> prefetch;
    // A finished upload, for a notification when the window is not in front.
    std::function<void(const std::filesystem::path&, const QString& device)> notifyReceived;
    // An approval is waiting: ask for the user's attention.
    std::function<void()> requestAttention;

    static DesktopServices system();
};

// Owns the server and everything the computer's side shows; lives on the main thread.
class AppModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString pin READ pin NOTIFY pinChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY errorChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
    Q_PROPERTY(double speed READ speed NOTIFY speedChanged)
    Q_PROPERTY(double sendSpeed READ sendSpeed NOTIFY sendSpeedChanged)
    Q_PROPERTY(QString address READ addressText NOTIFY addressChanged)

  public:
    // Without a server the model makes its own, with a fresh code and the stored folder.
    AppModel(Timing timing, DesktopServices services, QSettings* settings = nullptr,
             std::shared_ptr<server::FileServer> server = nullptr, QObject* parent = nullptr);
    ~AppModel() override;

    server::FileServer& server() { return *m_server; }

    // Published state.
    const std::vector<NetIface>& ifaces() const { return m_ifaces; }
    const std::optional<QString>& selected() const { return m_selected; }
    QString pin() const { return m_pin; }
    bool running() const { return m_running; }
    const std::optional<QString>& error() const { return m_error; }
    QString errorText() const { return m_error.value_or(QString()); }
    const std::vector<server::SharedFile>& shared() const { return m_shared; }
    const std::vector<ReceivedItem>& received() const { return m_received; }
    const std::vector<DeviceSeen>& devices() const { return m_devices; }
    const std::vector<PendingDevice>& pending() const { return m_pending; }
    const std::optional<server::Incoming>& incoming() const { return m_incoming; }
    QStringList log() const { return m_log; }
    const std::optional<bool>& firewallOn() const { return m_firewallOn; }
    const std::filesystem::path& saveDir() const { return m_saveDir; }
    double speed() const { return m_speed; }
    const std::optional<JustDone>& justDone() const { return m_justDone; }
    const std::vector<FlowState>& flows() const { return m_flows; }
    const server::DownloadTable& downloads() const { return m_downloads; }
    double sendSpeed() const { return m_sendSpeed; }
    const std::optional<QString>& sendDevice() const { return m_sendDevice; }

    // Operations.
    void start();
    void stop();
    void refresh();
    void newCode();
    void share(const std::vector<std::filesystem::path>& paths);
    void unshare(const QString& fileId);
    void unshareAll();
    void setSaveDir(const std::filesystem::path& folder);
    // Answers an approval request and takes it off the waiting list.
    void answer(const QString& pendingId, bool allow);

    std::vector<FileEntry> receivedEntries() const;
    std::vector<FileEntry> sharedEntries() const;
    std::optional<QString> convertedNote() const;
    std::optional<ShareProgress> shareProgress(const std::string& fileId) const;
    SendSummary sendSummary() const;
    std::optional<NetIface> currentIface() const;
    std::optional<QString> address() const;
    QString addressText() const { return address().value_or(QString()); }

  signals:
    void ifacesChanged();
    void pinChanged();
    void runningChanged();
    void errorChanged();
    void sharedChanged();
    void receivedChanged();
    void devicesChanged();
    void pendingChanged();
    void incomingChanged();
    void logChanged();
    void firewallChanged();
    void saveDirChanged();
    void speedChanged();
    void justDoneChanged();
    void flowsChanged();
    void downloadsChanged();
    void sendSpeedChanged();
    void addressChanged();

  private:
    void installCallbacks();
    void addLog(const QString& line);
    void onReceived(const server::ReceivedFile& file);
    void onDevice(const QString& host, const QString& name, const QString& kind);
    void onProgress(const std::optional<server::Incoming>& progress);
    void onFlow(const server::Flow& flow);
    void onDownload(const server::Download& download);
    void onApproval(const QString& host, const QString& label, std::function<void(bool)> decide);
    void addShared(const std::filesystem::path& path);
    void readShared();

    Timing m_timing;
    DesktopServices m_services;
    QSettings* m_settings;
    std::unique_ptr<server::IoPool> m_pool;  // only when the model made its own server
    std::shared_ptr<server::FileServer> m_server;

    std::vector<NetIface> m_ifaces;
    std::optional<QString> m_selected;
    QString m_pin;
    bool m_running = false;
    std::shared_ptr<std::function<void()>> m_refreshTick;  // the repeating interface refresh
    std::optional<QString> m_error;
    std::vector<server::SharedFile> m_shared;
    std::vector<ReceivedItem> m_received;
    std::vector<DeviceSeen> m_devices;
    std::vector<PendingDevice> m_pending;
    std::optional<server::Incoming> m_incoming;
    QStringList m_log;
    std::optional<bool> m_firewallOn;
    std::filesystem::path m_saveDir;
    double m_speed = 0;
    std::optional<JustDone> m_justDone;
    std::vector<FlowState> m_flows;
    server::DownloadTable m_downloads;
    double m_sendSpeed = 0;
    std::optional<QString> m_sendDevice;

    std::map<QString, std::pair<QDateTime, std::int64_t>> m_dlTicks;
    QDateTime m_lastDownload;
    std::optional<SpeedTick> m_lastTick;
    int m_batchCount = 0;
};

}  // namespace skiff::app
