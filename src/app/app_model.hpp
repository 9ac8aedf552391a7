#pragma once

#include <QObject>
#include <QSettings>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/app_records.hpp"
#include "app/event_log.hpp"
#include "app/firewall_state.hpp"
#include "app/net_iface.hpp"
#include "app/shared_texts.hpp"
#include "app/timing.hpp"
#include "server/file_server.hpp"
#include "server/io_pool.hpp"

namespace skiff::app {

// What the model asks of the desktop; each has a working default, and tests or a front end
// may replace any of them.
struct DesktopServices {
    std::function<std::vector<NetIface>()> listInterfaces;
    std::function<FirewallReading()> firewallState;
    // Warms the thumbnail cache for a received or shared file.
    std::function<void(const std::filesystem::path&)> prefetch;
    // A finished upload, for a notification when the window is not in front.
    std::function<void(const std::filesystem::path&, const QString& device)> notifyReceived;
    // The same for a text a phone sent.
    std::function<void(const QString& text, const QString& device)> notifyText;
    // An approval is waiting: ask for the user's attention.
    std::function<void()> requestAttention;
    // Shows files in the previewer starting at `start`; false when none of them exists any more.
    // With `toggle`, an open previewer closes instead (and that counts as shown).
    std::function<bool(const std::vector<std::filesystem::path>& files,
                       const std::filesystem::path& start, bool toggle)>
        preview;

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
    // The rest of the published state as plain lists and maps, for the window.
    Q_PROPERTY(QVariantList ifaces READ ifacesList NOTIFY ifacesChanged)
    Q_PROPERTY(QString selected READ selectedText WRITE select NOTIFY ifacesChanged)
    Q_PROPERTY(QVariantMap currentIface READ currentIfaceMap NOTIFY ifacesChanged)
    Q_PROPERTY(int port READ port NOTIFY addressChanged)
    Q_PROPERTY(QVariantList devices READ devicesList NOTIFY devicesChanged)
    Q_PROPERTY(QVariantList pending READ pendingList NOTIFY pendingChanged)
    Q_PROPERTY(QVariantMap incoming READ incomingMap NOTIFY incomingChanged)
    Q_PROPERTY(QVariantList flows READ flowsList NOTIFY flowsChanged)
    Q_PROPERTY(QVariantList receivedEntries READ receivedList NOTIFY receivedChanged)
    // Files received, each file of a folder counted (an entry may be a whole folder).
    Q_PROPERTY(int receivedCount READ receivedCount NOTIFY receivedChanged)
    Q_PROPERTY(QVariantList sharedEntries READ sharedList NOTIFY sharedChanged)
    // Texts from the phones, newest first: {id, text, link, device, at}.
    Q_PROPERTY(QVariantList receivedTexts READ receivedTextsList NOTIFY receivedChanged)
    // Texts offered to the phones, newest first: {id, text, link}.
    Q_PROPERTY(QVariantList sharedTexts READ sharedTextsList NOTIFY sharedTextsChanged)
    Q_PROPERTY(QString convertedNote READ convertedNoteText NOTIFY receivedChanged)
    Q_PROPERTY(QVariant firewallOn READ firewallValue NOTIFY firewallChanged)
    // The firewall that is on ("ufw", "firewalld"; empty for none) and the command that opens
    // the server's port in it.
    Q_PROPERTY(QString firewallName READ firewallNameText NOTIFY firewallChanged)
    Q_PROPERTY(QString firewallCommand READ firewallCommandText NOTIFY firewallChanged)
    // The port kept from the last start when it was taken and a fresh one is used; 0 otherwise.
    Q_PROPERTY(int portMovedFrom READ portMovedFrom NOTIFY firewallChanged)
    Q_PROPERTY(QString saveDir READ saveDirText NOTIFY saveDirChanged)
    Q_PROPERTY(QString selection READ selectionText WRITE setSelection NOTIFY selectionChanged)
    Q_PROPERTY(QString missing READ missingText WRITE setMissing NOTIFY missingChanged)
    Q_PROPERTY(QVariantMap justDone READ justDoneMap NOTIFY justDoneChanged)
    Q_PROPERTY(QVariantMap sendSummary READ sendSummaryMap NOTIFY sendStateChanged)
    Q_PROPERTY(QString sendDevice READ sendDeviceText NOTIFY sendStateChanged)

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
    int receivedCount() const;
    const std::vector<DeviceSeen>& devices() const { return m_devices; }
    const std::vector<PendingDevice>& pending() const { return m_pending; }
    const std::optional<server::Incoming>& incoming() const { return m_incoming; }
    QStringList log() const { return m_log.lines(); }
    // Whether the newest event line is worth printing again where lines cannot be rewritten.
    bool newestLogLineIsNews() const { return m_log.newestIsNews(); }
    int newestLogLineRepeats() const { return m_log.newestRepeats(); }
    const std::optional<bool>& firewallOn() const { return m_firewall.on; }
    const FirewallReading& firewall() const { return m_firewall; }
    const std::filesystem::path& saveDir() const { return m_saveDir; }
    double speed() const { return m_speed; }
    const std::optional<JustDone>& justDone() const { return m_justDone; }
    const std::vector<FlowState>& flows() const { return m_flows; }
    const server::DownloadTable& downloads() const { return m_downloads; }
    double sendSpeed() const { return m_sendSpeed; }
    const std::optional<QString>& sendDevice() const { return m_sendDevice; }

    const std::optional<QString>& selection() const { return m_selection; }
    const std::optional<QString>& missing() const { return m_missing; }

    // Operations.
    // The port asked for on the command line: start() listens there or fails.
    void askPort(std::uint16_t port) { m_askedPort = port; }
    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void refresh();
    // "Thử lại" when there is no network: the interfaces again, then the firewall state.
    Q_INVOKABLE void retryNetwork();
    Q_INVOKABLE void newCode();
    void share(const std::vector<std::filesystem::path>& paths);
    Q_INVOKABLE void shareUrls(const QList<QUrl>& urls);
    Q_INVOKABLE void unshare(const QString& fileId);
    Q_INVOKABLE void unshareAll();
    // Offers a text to the phones; false when it is blank or longer than a phone may send.
    Q_INVOKABLE bool shareText(const QString& text);
    Q_INVOKABLE void unshareText(const QString& textId);
    std::vector<server::SharedText> sharedTexts() const { return m_texts->list(); }
    void setSaveDir(const std::filesystem::path& folder);
    // The folder the person picked in the window's folder dialog.
    Q_INVOKABLE void setSaveDirUrl(const QUrl& folder);
    // Answers an approval request and takes it off the waiting list.
    Q_INVOKABLE void answer(const QString& pendingId, bool allow);
    // Refuses every waiting request at once: the way out of a flood of them.
    Q_INVOKABLE void denyAll();
    void select(const QString& ifaceId);
    void setSelection(const QString& entryId);  // empty clears it
    void setMissing(const QString& name);       // empty clears it
    // The Space key: previews the selected entry's list, or closes an open previewer.
    Q_INVOKABLE bool previewSelection();
    Q_INVOKABLE void previewAll();
    // Shows the list the entry belongs to, starting at it; false when its file is gone.
    Q_INVOKABLE bool previewEntry(const QString& entryId);
    // {fraction, done} of one shared file (id without its "s"), or an empty map before any phone
    // asked for it.
    Q_INVOKABLE QVariantMap shareProgressOf(const QString& fileId) const;

    std::vector<FileEntry> receivedEntries() const;
    std::vector<FileEntry> sharedEntries() const;
    std::optional<QString> convertedNote() const;
    std::optional<ShareProgress> shareProgress(const std::string& fileId) const;
    SendSummary sendSummary() const;
    std::optional<NetIface> currentIface() const;
    std::optional<QString> address() const;
    QString addressText() const { return address().value_or(QString()); }
    int port() const;

    // The window's view of the state (app_model_properties.cpp).
    QVariantList ifacesList() const;
    QString selectedText() const { return m_selected.value_or(QString()); }
    QVariantMap currentIfaceMap() const;
    QVariantList devicesList() const;
    QVariantList pendingList() const;
    QVariantMap incomingMap() const;
    QVariantList flowsList() const;
    QVariantList receivedList() const;
    QVariantList sharedList() const;
    QVariantList receivedTextsList() const;
    QVariantList sharedTextsList() const;
    QString convertedNoteText() const { return convertedNote().value_or(QString()); }
    QVariant firewallValue() const;
    QString firewallNameText() const;
    QString firewallCommandText() const;
    int portMovedFrom() const { return m_portMovedFrom.value_or(0); }
    QString saveDirText() const;
    QString selectionText() const { return m_selection.value_or(QString()); }
    QString missingText() const { return m_missing.value_or(QString()); }
    QVariantMap justDoneMap() const;
    QVariantMap sendSummaryMap() const;
    QString sendDeviceText() const { return m_sendDevice.value_or(QString()); }

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
    void selectionChanged();
    void missingChanged();
    // Anything the send tab's summary depends on: shared files, downloads, send speed.
    void sendStateChanged();
    void sharedTextsChanged();
    // A phone sent a text; it is also the newest of the received list.
    void textReceived(const QString& text, const QString& device);

  private:
    void installCallbacks();
    void readFirewall();
    void addLog(const QString& line);
    void onReceived(const server::ReceivedFile& file);
    void onDevice(const QString& host, const QString& name, const QString& kind);
    void onProgress(const std::optional<server::Incoming>& progress);
    void onFlow(const server::Flow& flow);
    void onDownload(const server::Download& download);
    void onApproval(const QString& host, const QString& label, std::function<void(bool)> decide);
    void addShared(const std::filesystem::path& path);
    void readShared();
    bool previewList(const std::vector<FileEntry>& entries, std::size_t start, bool toggle);

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
    std::optional<SharedTexts> m_texts;  // on the server, made with it
    std::vector<ReceivedItem> m_received;
    std::vector<DeviceSeen> m_devices;
    std::vector<PendingDevice> m_pending;
    std::optional<server::Incoming> m_incoming;
    EventLog m_log{80};
    FirewallReading m_firewall;
    std::optional<std::uint16_t> m_askedPort;
    std::optional<std::uint16_t> m_portMovedFrom;
    std::filesystem::path m_saveDir;
    double m_speed = 0;
    std::optional<JustDone> m_justDone;
    std::vector<FlowState> m_flows;
    server::DownloadTable m_downloads;
    double m_sendSpeed = 0;
    std::optional<QString> m_sendDevice;
    std::optional<QString> m_selection;
    std::optional<QString> m_missing;

    std::map<QString, std::pair<QDateTime, std::int64_t>> m_dlTicks;
    QDateTime m_lastDownload;
    std::optional<SpeedTick> m_lastTick;
    int m_batchCount = 0;
};

}  // namespace skiff::app
