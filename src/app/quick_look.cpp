#include "app/quick_look.hpp"

#include <QFile>
#include <QMimeDatabase>
#include <QUrl>

#include <algorithm>
#include <system_error>

#include "media/file_kinds.hpp"

namespace skiff::app {

namespace {

QString text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

bool exists(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::exists(file, error);
}

// Drops a multi-byte UTF-8 sequence cut off by the read limit, so the text ends cleanly.
QByteArray wholeCharacters(QByteArray bytes) {
    int lead = bytes.size() - 1;
    while (lead >= 0 && lead >= bytes.size() - 4 && (uchar(bytes[lead]) & 0xC0) == 0x80) --lead;
    if (lead < 0) return bytes;
    uchar first = uchar(bytes[lead]);
    int length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (lead + length > bytes.size()) bytes.truncate(lead);
    return bytes;
}

}  // namespace

QuickLook::QuickLook(QObject* parent) : QObject(parent) {}

bool QuickLook::show(const std::vector<std::filesystem::path>& files,
                     const std::filesystem::path& start) {
    std::vector<std::filesystem::path> kept;
    std::copy_if(files.begin(), files.end(), std::back_inserter(kept), exists);
    if (kept.empty()) return false;
    auto found = std::find(kept.begin(), kept.end(), start);
    int index = found == kept.end() ? 0 : static_cast<int>(found - kept.begin());
    m_files = std::move(kept);
    m_current = index;
    emit urlsChanged();
    emit currentChanged();
    setVisible(true);
    emit raiseRequested();
    return true;
}

bool QuickLook::toggle(const std::vector<std::filesystem::path>& files,
                       const std::filesystem::path& start) {
    if (m_visible) {
        close();
        return true;
    }
    return show(files, start);
}

void QuickLook::next() {
    if (m_current + 1 < count()) setCurrentIndex(m_current + 1);
}

void QuickLook::previous() {
    if (m_current > 0) setCurrentIndex(m_current - 1);
}

void QuickLook::close() {
    setVisible(false);
}

QStringList QuickLook::urlTexts() const {
    QStringList urls;
    for (const auto& file : m_files) urls << QUrl::fromLocalFile(text(file)).toString();
    return urls;
}

void QuickLook::setCurrentIndex(int index) {
    if (index < 0 || index >= count() || index == m_current) return;
    m_current = index;
    emit currentChanged();
}

void QuickLook::setVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    emit visibleChanged();
}

QString QuickLook::currentUrl() const {
    return m_current < 0 ? QString() : QUrl::fromLocalFile(currentPath()).toString();
}

QString QuickLook::currentPath() const {
    return m_current < 0 ? QString() : text(m_files[m_current]);
}

QString QuickLook::currentName() const {
    return m_current < 0 ? QString()
                         : QString::fromStdString(m_files[m_current].filename().string());
}

QString QuickLook::currentKind() const {
    return m_current < 0 ? QString() : kindOf(m_files[m_current]);
}

qint64 QuickLook::currentSize() const {
    if (m_current < 0) return 0;
    std::error_code error;
    auto size = std::filesystem::file_size(m_files[m_current], error);
    return error ? 0 : static_cast<qint64>(size);
}

QString QuickLook::currentText() const {
    if (currentKind() != "text") return {};
    QFile file(currentPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.read(kTextLimit);
    if (file.size() > kTextLimit) bytes = wholeCharacters(bytes);
    return QString::fromUtf8(bytes);
}

QString QuickLook::kindOf(const std::filesystem::path& file) {
    auto extension = QString::fromStdString(file.extension().string()).toLower();
    if (extension == ".pdf") return "pdf";
    auto kind = media::fileKind(file);
    if (kind == "image" || kind == "video") return QString::fromStdString(kind);
    std::error_code error;
    if (std::filesystem::is_regular_file(file, error) &&
        QMimeDatabase().mimeTypeForFile(text(file)).inherits("text/plain"))
        return "text";
    return "other";
}

}  // namespace skiff::app
