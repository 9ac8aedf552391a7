// The window reads the model through these plain lists and maps; the C++ front ends use the
// typed accessors.

#include "app/app_model.hpp"

#include "app/firewall_command.hpp"
#include "app/text_link.hpp"

namespace skiff::app {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

QVariantMap ifaceMap(const NetIface& iface) {
    return {{"id", qs(iface.id())},
            {"bsd", qs(iface.bsd)},
            {"ip", qs(iface.ip)},
            {"label", qs(iface.label)},
            {"kind", static_cast<int>(iface.kind)}};
}

QVariantMap entryMap(const FileEntry& entry) {
    return {{"id", entry.id},
            {"path", pathText(entry.url)},
            {"url", QUrl::fromLocalFile(pathText(entry.url))},
            {"name", entry.name},
            {"size", static_cast<double>(entry.size)},
            {"detail", entry.detail},
            {"warning", entry.warning.value_or(QString())},
            {"removable", entry.removable},
            {"files", entry.files}};
}

// The text's link for the window's "Mở liên kết"; empty when it is not one link.
QString linkText(const QString& text) {
    auto link = singleLink(text);
    return link ? link->toString(QUrl::FullyEncoded) : QString();
}

// One map per item, in order.
template <typename Items, typename ToMap>
QVariantList listOf(const Items& items, ToMap toMap) {
    QVariantList list;
    for (const auto& item : items) list.append(toMap(item));
    return list;
}

}  // namespace

QVariantList AppModel::ifacesList() const {
    return listOf(m_ifaces, ifaceMap);
}

QVariantMap AppModel::currentIfaceMap() const {
    auto iface = currentIface();
    return iface ? ifaceMap(*iface) : QVariantMap();
}

QVariantList AppModel::devicesList() const {
    return listOf(m_devices, [](const auto& device) {
        return QVariantMap{{"host", device.host},
                           {"label", device.label},
                           {"kind", device.kind},
                           {"at", device.at}};
    });
}

QVariantList AppModel::pendingList() const {
    return listOf(m_pending, [](const auto& request) {
        return QVariantMap{{"id", request.id},
                           {"host", request.host},
                           {"label", request.label},
                           {"code", request.code}};
    });
}

QVariantMap AppModel::incomingMap() const {
    if (!m_incoming) return {};
    return {{"uid", qs(m_incoming->uid)},
            {"name", qs(m_incoming->name)},
            {"device", qs(m_incoming->device)},
            {"received", static_cast<double>(m_incoming->received)},
            {"size", static_cast<double>(m_incoming->size)}};
}

QVariantList AppModel::flowsList() const {
    return listOf(m_flows, [](const auto& flow) {
        return QVariantMap{{"host", flow.host},
                           {"kind", flow.kind},
                           {"device", flow.device},
                           {"name", flow.name},
                           {"received", static_cast<double>(flow.received)},
                           {"size", static_cast<double>(flow.size)},
                           {"speed", flow.speed},
                           {"done", flow.done},
                           {"count", flow.count}};
    });
}

QVariantList AppModel::receivedList() const {
    return listOf(receivedEntries(), entryMap);
}

QVariantList AppModel::sharedList() const {
    return listOf(sharedEntries(), entryMap);
}

QVariantList AppModel::receivedTextsList() const {
    QVariantList list;
    for (const auto& item : m_received) {
        if (!item.file.text) continue;
        QString text = qs(*item.file.text);
        list.append(QVariantMap{{"id", "t" + item.id},
                                {"text", text},
                                {"link", linkText(text)},
                                {"device", qs(item.file.device)},
                                {"path", pathText(item.file.url)},
                                {"at", item.at}});
    }
    return list;
}

QVariantList AppModel::sharedTextsList() const {
    return listOf(sharedTexts(), [](const server::SharedText& shared) {
        QString text = qs(shared.text);
        return QVariantMap{{"id", qs(shared.id)}, {"text", text}, {"link", linkText(text)}};
    });
}

QVariant AppModel::firewallValue() const {
    return m_firewall.on ? QVariant(*m_firewall.on) : QVariant();
}

QString AppModel::firewallNameText() const {
    return m_firewall.active ? QString::fromStdString(firewallName(*m_firewall.active)) : QString();
}

QString AppModel::firewallCommandText() const {
    if (!m_firewall.active || !m_running) return {};
    return QString::fromStdString(openPortCommand(*m_firewall.active, m_server->port()));
}

QString AppModel::saveDirText() const {
    return pathText(m_saveDir);
}

QVariantMap AppModel::justDoneMap() const {
    if (!m_justDone) return {};
    return {{"count", m_justDone->count}, {"device", m_justDone->device}};
}

QVariantMap AppModel::sendSummaryMap() const {
    SendSummary summary = sendSummary();
    return {{"fraction", summary.fraction}, {"done", summary.done}, {"active", summary.active}};
}

QVariantMap AppModel::shareProgressOf(const QString& fileId) const {
    auto progress = shareProgress(fileId.toStdString());
    if (!progress) return {};
    return {{"fraction", progress->fraction}, {"done", progress->done}};
}

}  // namespace skiff::app
