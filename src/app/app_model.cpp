#include "app/app_model.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <QUuid>

#include <algorithm>
#include <set>

#include "app/firewall_command.hpp"
#include "app/port_memory.hpp"
#include "app/receive_folder.hpp"
#include "app/received_groups.hpp"
#include "app/share_walk.hpp"
#include "media/thumb_store.hpp"
#include "server/secure_random.hpp"
#include "server/session_code.hpp"

namespace skiff::app {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

double seconds(const QDateTime& from, const QDateTime& to) {
    return from.msecsTo(to) / 1000.0;
}

// New samples weigh 0.4 against 0.6 for what came before, so the number does not jitter.
double smooth(double rate, double previous) {
    return previous != 0 ? 0.4 * rate + 0.6 * previous : rate;
}

// Runs server callbacks on the thread of the application's event loop.
server::PostToMain postToQtMain() {
    return [](std::function<void()> task) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    };
}

}  // namespace

AppModel::AppModel(Timing timing, DesktopServices services, QSettings* settings,
                   std::shared_ptr<server::FileServer> server, QObject* parent)
    : QObject(parent),
      m_timing(std::move(timing)),
      m_services(std::move(services)),
      m_settings(settings) {
    if (server) {
        m_server = std::move(server);
        m_saveDir = m_server->saveDir();
    } else {
        QSettings fallback;
        m_saveDir = loadSaveDir(m_settings ? *m_settings : fallback);
        m_pool = std::make_unique<server::IoPool>();
        m_server = server::FileServer::create(*m_pool, m_saveDir, server::makeSessionCode(),
                                              postToQtMain());
    }
    m_texts.emplace(*m_server);
    m_pin = qs(m_server->token());
    installCallbacks();
    for (auto changed :
         {&AppModel::sharedChanged, &AppModel::downloadsChanged, &AppModel::sendSpeedChanged})
        connect(this, changed, this, &AppModel::sendStateChanged);
}

AppModel::~AppModel() {
    m_server->setCallbacks({});
    m_server->stop();
    m_server.reset();
    if (m_pool) {
        // A thumbnail still being made answers on the pool's threads: let it land first, with
        // its decoder killed so that quitting never waits on a file.
        media::ThumbStore::shared().abandonWork();
        media::ThumbStore::shared().waitIdle();
        m_pool.reset();
    }
}

void AppModel::installCallbacks() {
    QPointer<AppModel> self(this);
    server::ServerCallbacks callbacks;
    callbacks.onEvent = [self](const std::string& line) {
        if (self) self->addLog(qs(line));
    };
    callbacks.onReceived = [self](const server::ReceivedFile& file) {
        if (self) self->onReceived(file);
    };
    callbacks.onDevice = [self](const std::string& host, const std::string& name,
                                const std::string& kind) {
        if (self) self->onDevice(qs(host), qs(name), qs(kind));
    };
    callbacks.onProgress = [self](const std::optional<server::Incoming>& progress) {
        if (self) self->onProgress(progress);
    };
    callbacks.onFlow = [self](const server::Flow& flow) {
        if (self) self->onFlow(flow);
    };
    callbacks.onDownload = [self](const server::Download& download) {
        if (self) self->onDownload(download);
    };
    callbacks.askApproval = [self](const std::string& host, const std::string& label,
                                   std::function<void(bool)> decide) {
        if (self) self->onApproval(qs(host), qs(label), std::move(decide));
    };
    m_server->setCallbacks(std::move(callbacks));
}

void AppModel::start() {
    if (m_running) return;
    QPointer<AppModel> self(this);
    auto ready = [self](std::uint16_t port) {
        if (!self) return;
        if (self->m_settings) storePort(*self->m_settings, port);
        self->m_running = true;
        emit self->runningChanged();
        self->refresh();
        self->readFirewall();
        emit self->addressChanged();
    };
    std::optional<std::uint16_t> first = m_askedPort;
    if (!first && m_settings) first = storedPort(*m_settings);
    ListenResult listening = listenOn(*m_server, first, !m_askedPort, ready);
    m_portMovedFrom = listening.moved && !listening.error ? first : std::nullopt;
    if (listening.error) {
        m_error = listenErrorText(*listening.error, m_askedPort);
        emit errorChanged();
    }
    if (!m_refreshTick) {
        // The interface list follows the network every five seconds while the model exists.
        m_refreshTick = std::make_shared<std::function<void()>>();
        std::weak_ptr<std::function<void()>> tick = m_refreshTick;
        *m_refreshTick = [self, tick] {
            auto again = tick.lock();
            if (!self || !again) return;
            self->refresh();
            self->m_timing.after(5000, *again);
        };
        m_timing.after(5000, *m_refreshTick);
    }
}

void AppModel::stop() {
    m_server->stop();
    if (m_running) {
        m_running = false;
        emit runningChanged();
    }
}

void AppModel::refresh() {
    std::vector<NetIface> fresh =
        m_services.listInterfaces ? m_services.listInterfaces() : std::vector<NetIface>();
    if (fresh != m_ifaces) {
        m_ifaces = std::move(fresh);
        emit ifacesChanged();
    }
    bool keep = m_selected && std::any_of(m_ifaces.begin(), m_ifaces.end(), [&](const NetIface& i) {
                    return qs(i.id()) == *m_selected;
                });
    if (!keep)
        m_selected =
            m_ifaces.empty() ? std::nullopt : std::optional<QString>(qs(m_ifaces.front().id()));
    m_pin = qs(m_server->token());
    emit pinChanged();
    emit addressChanged();
}

void AppModel::retryNetwork() {
    refresh();
    readFirewall();
}

void AppModel::readFirewall() {
    if (m_services.firewallState) m_firewall = m_services.firewallState();
    m_server->setFirewall(m_firewall.active ? firewallName(*m_firewall.active) : std::string());
    emit firewallChanged();
}

void AppModel::select(const QString& ifaceId) {
    if (m_selected == ifaceId) return;
    m_selected = ifaceId;
    emit ifacesChanged();
    emit addressChanged();
}

void AppModel::addLog(const QString& line) {
    m_log.add(line, m_timing.now());
    emit logChanged();
}

void AppModel::newCode() {
    // Deny the waiting phones under the old code first: denials given after the renewal
    // would land on the new code's fresh tables and lock those phones out of it.
    std::vector<PendingDevice> waiting = std::move(m_pending);
    m_pending.clear();
    for (auto& request : waiting)
        if (request.decide) request.decide(false);
    m_server->regenerateToken();
    m_pin = qs(m_server->token());
    m_devices.clear();
    emit pendingChanged();
    emit pinChanged();
    emit devicesChanged();
    emit addressChanged();
    addLog("Đã đổi mã mới — thiết bị cũ phải quét lại");
}

void AppModel::answer(const QString& pendingId, bool allow) {
    auto found = std::find_if(m_pending.begin(), m_pending.end(),
                              [&](const PendingDevice& p) { return p.id == pendingId; });
    if (found == m_pending.end()) return;
    auto decide = found->decide;
    m_pending.erase(found);
    emit pendingChanged();
    if (decide) decide(allow);
}

void AppModel::denyAll() {
    std::vector<PendingDevice> waiting = std::move(m_pending);
    m_pending.clear();
    emit pendingChanged();
    for (auto& request : waiting)
        if (request.decide) request.decide(false);
}

void AppModel::onReceived(const server::ReceivedFile& file) {
    m_received.insert(m_received.begin(), ReceivedItem{newUuid(), file, m_timing.now()});
    emit receivedChanged();
    if (file.text) {
        // A text arrives whole in one request: no batch, no thumbnail.
        QString text = qs(*file.text);
        emit textReceived(text, qs(file.device));
        if (m_services.notifyText) m_services.notifyText(text, qs(file.device));
        return;
    }
    ++m_batchCount;
    if (m_services.prefetch) m_services.prefetch(file.url);
    if (m_services.notifyReceived) m_services.notifyReceived(file.url, qs(file.device));
}

void AppModel::onDevice(const QString& host, const QString& name, const QString& kind) {
    m_devices.erase(std::remove_if(m_devices.begin(), m_devices.end(),
                                   [&](const DeviceSeen& d) { return d.host == host; }),
                    m_devices.end());
    m_devices.insert(m_devices.begin(), DeviceSeen{host, name, m_timing.now(), kind});
    emit devicesChanged();
}

void AppModel::onProgress(const std::optional<server::Incoming>& progress) {
    if (progress) {
        QDateTime now = m_timing.now();
        QString uid = qs(progress->uid);
        if (!m_lastTick || m_lastTick->uid != uid) {
            m_lastTick = SpeedTick{now, progress->received, uid};
        } else if (double dt = seconds(m_lastTick->at, now); dt > 0.4) {
            m_speed = smooth((progress->received - m_lastTick->bytes) / dt, m_speed);
            m_lastTick = SpeedTick{now, progress->received, uid};
            emit speedChanged();
        }
        if (m_justDone) {
            m_justDone.reset();
            emit justDoneChanged();
        }
        m_incoming = progress;
        emit incomingChanged();
        return;
    }
    if (m_incoming) {
        server::Incoming last = *m_incoming;
        QPointer<AppModel> self(this);
        // A batch has ended when no new upload began within a quarter second.
        m_timing.after(250, [self, last] {
            if (!self || self->m_incoming) return;
            self->m_justDone = JustDone{std::max(self->m_batchCount, 1), qs(last.device)};
            self->m_speed = 0;
            self->m_batchCount = 0;
            emit self->justDoneChanged();
            emit self->speedChanged();
            self->m_timing.after(2400, [self] {
                if (!self || self->m_incoming) return;
                self->m_justDone.reset();
                emit self->justDoneChanged();
            });
        });
    }
    m_incoming.reset();
    emit incomingChanged();
}

void AppModel::onFlow(const server::Flow& flow) {
    QString host = qs(flow.host);
    auto card = std::find_if(m_flows.begin(), m_flows.end(),
                             [&](const FlowState& f) { return f.host == host; });
    if (flow.state == server::Flow::State::cancel) {
        m_flows.erase(std::remove_if(m_flows.begin(), m_flows.end(),
                                     [&](const FlowState& f) { return f.host == host; }),
                      m_flows.end());
        emit flowsChanged();
        return;
    }
    QDateTime now = m_timing.now();
    FlowState state =
        card != m_flows.end()
            ? *card
            : FlowState{host, qs(flow.kind), qs(flow.device), qs(flow.name), 0, flow.size, 0, false,
                        0,    std::nullopt};
    if (flow.state == server::Flow::State::progress) {
        if (state.done) {  // a new batch from the same phone
            state.done = false;
            state.count = 0;
            state.speed = 0;
            state.tick.reset();
        }
        QString uid = qs(flow.uid);
        if (!state.tick || state.tick->uid != uid) {
            state.tick = SpeedTick{now, flow.received, uid};
        } else if (double dt = seconds(state.tick->at, now); dt > 0.4) {
            state.speed = smooth((flow.received - state.tick->bytes) / dt, state.speed);
            state.tick = SpeedTick{now, flow.received, uid};
        }
    } else {
        state.count += 1;
    }
    state.kind = qs(flow.kind);
    state.device = qs(flow.device);
    state.name = qs(flow.name);
    state.received = flow.received;
    state.size = flow.size;
    if (card != m_flows.end())
        *card = state;
    else
        m_flows.push_back(state);
    emit flowsChanged();

    if (flow.state != server::Flow::State::done) return;
    QPointer<AppModel> self(this);
    int count = state.count;
    m_timing.after(500, [self, host, count] {
        if (!self) return;
        auto found = std::find_if(self->m_flows.begin(), self->m_flows.end(),
                                  [&](const FlowState& f) { return f.host == host; });
        if (found == self->m_flows.end() || found->count != count || found->received != found->size)
            return;
        found->done = true;
        emit self->flowsChanged();
        self->m_timing.after(3500, [self, host, count] {
            if (!self) return;
            auto it = std::find_if(self->m_flows.begin(), self->m_flows.end(),
                                   [&](const FlowState& f) { return f.host == host; });
            if (it == self->m_flows.end() || !it->done || it->count != count) return;
            self->m_flows.erase(it);
            emit self->flowsChanged();
        });
    });
}

void AppModel::onDownload(const server::Download& download) {
    bool known = std::any_of(m_shared.begin(), m_shared.end(),
                             [&](const server::SharedFile& s) { return s.id == download.fileId; });
    if (!known) return;
    QDateTime now = m_timing.now();
    QString key = qs(download.fileId + "|" + download.host);
    auto tick = m_dlTicks.find(key);
    if (tick == m_dlTicks.end()) {
        m_dlTicks[key] = {now, download.sent};
    } else if (double dt = seconds(tick->second.first, now); dt > 0.3) {
        double rate = std::max<std::int64_t>(download.sent - tick->second.second, 0) / dt;
        m_sendSpeed = smooth(rate, m_sendSpeed);
        tick->second = {now, download.sent};
        emit sendSpeedChanged();
    }
    m_downloads[download.fileId][download.host] = download;
    m_sendDevice = qs(download.device);
    m_lastDownload = now;
    emit downloadsChanged();
    QPointer<AppModel> self(this);
    m_timing.after(1600, [self] {
        if (!self || seconds(self->m_lastDownload, self->m_timing.now()) < 1.5) return;
        self->m_sendSpeed = 0;
        self->m_dlTicks.clear();
        emit self->sendSpeedChanged();
    });
}

void AppModel::onApproval(const QString& host, const QString& label,
                          std::function<void(bool)> decide) {
    m_pending.push_back(PendingDevice{
        newUuid(), host, label, qs(m_server->pairCode(host.toStdString())), std::move(decide)});
    emit pendingChanged();
    if (m_services.requestAttention) m_services.requestAttention();
}

void AppModel::addShared(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> skipped;
    std::vector<std::filesystem::path> files = filesToShare(path, &skipped);
    for (const auto& odd : skipped)
        addLog("Bỏ qua \"" + qs(odd.filename().string()) +
               "\": không phải file thường (ống, socket hay thiết bị)");
    for (const auto& file : files) {
        std::error_code error;
        auto size = std::filesystem::file_size(file, error);
        server::SharedFile shared{
            server::randomHex(16), file,
            qs(file.filename().string()).normalized(QString::NormalizationForm_C).toStdString(),
            error ? 0 : static_cast<std::int64_t>(size)};
        m_server->mutateTables([&](server::ServerTables& tables) {
            bool present = std::any_of(tables.shared.begin(), tables.shared.end(),
                                       [&](const server::SharedFile& s) { return s.url == file; });
            if (!present) tables.shared.push_back(shared);
        });
        if (m_services.prefetch) m_services.prefetch(file);
    }
}

void AppModel::readShared() {
    m_shared =
        m_server->withTables([](const server::ServerTables& tables) { return tables.shared; });
    emit sharedChanged();
}

void AppModel::share(const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) addShared(path);
    readShared();
}

void AppModel::shareUrls(const QList<QUrl>& urls) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) paths.emplace_back(url.toLocalFile().toStdString());
    share(paths);
}

void AppModel::unshare(const QString& fileId) {
    std::string id = fileId.toStdString();
    m_server->mutateTables([&](server::ServerTables& tables) {
        tables.shared.erase(std::remove_if(tables.shared.begin(), tables.shared.end(),
                                           [&](const server::SharedFile& s) { return s.id == id; }),
                            tables.shared.end());
        tables.dls.erase(id);
    });
    readShared();
    m_downloads.erase(id);
    emit downloadsChanged();
}

bool AppModel::shareText(const QString& text) {
    if (m_texts->add(text) != SharedTexts::Outcome::shared) return false;
    emit sharedTextsChanged();
    return true;
}

void AppModel::unshareText(const QString& textId) {
    m_texts->remove(textId.toStdString());
    emit sharedTextsChanged();
}

void AppModel::unshareAll() {
    m_server->mutateTables([](server::ServerTables& tables) {
        tables.shared.clear();
        tables.dls.clear();
        tables.texts.clear();
    });
    emit sharedTextsChanged();
    m_shared.clear();
    m_downloads.clear();
    m_sendSpeed = 0;
    emit sharedChanged();
    emit downloadsChanged();
    emit sendSpeedChanged();
}

void AppModel::setSaveDir(const std::filesystem::path& folder) {
    QSettings fallback;
    storeSaveDir(m_settings ? *m_settings : fallback, folder);
    m_saveDir = folder;
    m_server->setSaveDir(folder);
    emit saveDirChanged();
}

void AppModel::setSaveDirUrl(const QUrl& folder) {
    if (folder.isLocalFile()) setSaveDir(folder.toLocalFile().toStdString());
}

void AppModel::setSelection(const QString& entryId) {
    std::optional<QString> next = entryId.isEmpty() ? std::nullopt : std::optional(entryId);
    if (next == m_selection) return;
    m_selection = next;
    emit selectionChanged();
}

void AppModel::setMissing(const QString& name) {
    std::optional<QString> next = name.isEmpty() ? std::nullopt : std::optional(name);
    if (next == m_missing) return;
    m_missing = next;
    emit missingChanged();
}

bool AppModel::previewList(const std::vector<FileEntry>& entries, std::size_t start, bool toggle) {
    // A folder opens in the file manager, never in the previewer.
    if (!m_services.preview || start >= entries.size() || entries[start].files > 0) return false;
    const std::filesystem::path& chosen = entries[start].url;
    // A chosen file that is gone is never swapped for another of the list: the previewer gets
    // it alone, so it can only close or report that nothing is left to show.
    std::error_code error;
    if (!std::filesystem::exists(chosen, error))
        return m_services.preview({chosen}, chosen, toggle);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : entries)
        if (entry.files == 0) files.push_back(entry.url);
    return m_services.preview(files, chosen, toggle);
}

bool AppModel::previewSelection() {
    if (!m_selection) return false;
    auto entries = m_selection->startsWith('r') ? receivedEntries() : sharedEntries();
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const FileEntry& e) { return e.id == *m_selection; });
    if (found == entries.end()) return false;
    if (found->files > 0) return true;  // a folder: nothing to preview, and nothing missing
    if (!previewList(entries, found - entries.begin(), true)) setMissing(found->name);
    return true;
}

void AppModel::previewAll() {
    std::vector<std::filesystem::path> files;
    for (const auto& item : m_received)
        if (!item.file.text) files.push_back(item.file.url);
    // Whatever still exists is shown, from the first of those.
    bool shown = m_services.preview && !files.empty() && m_services.preview(files, files[0], false);
    if (!shown) setMissing("Các file đã nhận");
}

bool AppModel::previewEntry(const QString& entryId) {
    auto entries = entryId.startsWith('r') ? receivedEntries() : sharedEntries();
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const FileEntry& e) { return e.id == entryId; });
    return found != entries.end() && previewList(entries, found - entries.begin(), false);
}

int AppModel::receivedCount() const {
    return static_cast<int>(
        std::count_if(m_received.begin(), m_received.end(),
                      [](const ReceivedItem& item) { return !item.file.text; }));
}

std::vector<FileEntry> AppModel::receivedEntries() const {
    return groupReceived(m_received);
}

std::vector<FileEntry> AppModel::sharedEntries() const {
    std::vector<FileEntry> entries;
    for (const auto& file : m_shared)
        entries.push_back(
            {"s" + qs(file.id), file.url, qs(file.name), file.size, "", std::nullopt, true});
    return entries;
}

std::optional<QString> AppModel::convertedNote() const {
    std::set<std::string> formats;
    for (const auto& item : m_received)
        if (item.file.maybeConverted) formats.insert(*item.file.maybeConverted);
    if (formats.empty()) return std::nullopt;
    QStringList parts;
    if (formats.count("jpg")) parts << "iPhone có thể đã đổi ảnh HEIC sang JPG.";
    if (formats.count("mp4")) parts << "iPhone có thể đã nén/đổi video sang MP4.";
    return parts.join(' ') +
           "\n\nMuốn giữ bản gốc: trên iPhone chọn file qua “Chọn tệp” (app Tệp), hoặc Cài đặt › "
           "Ảnh › Chuyển sang Mac hoặc PC › Giữ bản gốc.";
}

std::optional<ShareProgress> AppModel::shareProgress(const std::string& fileId) const {
    auto found = m_downloads.find(fileId);
    if (found == m_downloads.end() || found->second.empty()) return std::nullopt;
    double best = 0;
    for (const auto& [host, download] : found->second) {
        if (download.done) return ShareProgress{1.0, true};
        best = std::max(
            best, static_cast<double>(download.sent) / std::max<std::int64_t>(download.size, 1));
    }
    return ShareProgress{best, false};
}

SendSummary AppModel::sendSummary() const {
    if (m_shared.empty()) return {};
    double weighted = 0, total = 0;
    bool allDone = true, startedUnfinished = false;
    for (const auto& file : m_shared) {
        auto progress = shareProgress(file.id);
        double fraction = progress ? progress->fraction : 0;
        bool done = progress && progress->done;
        weighted += fraction * static_cast<double>(file.size);
        total += static_cast<double>(file.size);
        allDone = allDone && done;
        if (progress && !done) startedUnfinished = true;
    }
    return {weighted / std::max(total, 1.0), allDone,
            !allDone && (m_sendSpeed > 0 || startedUnfinished)};
}

int AppModel::port() const {
    return m_running ? m_server->port() : 0;
}

std::optional<NetIface> AppModel::currentIface() const {
    if (m_ifaces.empty()) return std::nullopt;
    for (const auto& iface : m_ifaces)
        if (m_selected && qs(iface.id()) == *m_selected) return iface;
    return m_ifaces.front();
}

std::optional<QString> AppModel::address() const {
    auto iface = currentIface();
    if (!iface) return std::nullopt;
    return "http://" + qs(iface->ip) + ":" + QString::number(m_server->port()) + "/?t=" + m_pin;
}

}  // namespace skiff::app
