#include "ui/browser/file_facts.hpp"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/notifier_bus.hpp"
#include "media/file_kinds.hpp"
#include "media/thumb_store.hpp"

namespace skiff::ui {

namespace {

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

QString suffixOf(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

}  // namespace

QString formatDuration(double seconds) {
    if (!(seconds >= 0)) return {};
    auto whole = static_cast<long long>(std::floor(seconds));
    long long h = whole / 3600, m = (whole % 3600) / 60, s = whole % 60;
    if (h > 0)
        return QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(s, 2, 10, QChar('0'));
    return QString("%1:%2").arg(m).arg(s, 2, 10, QChar('0'));
}

FileFacts::FileFacts(QObject* parent) : QObject(parent) {}

bool FileFacts::exists(const QString& path, int) const {
    std::error_code error;
    return !path.isEmpty() && std::filesystem::exists(fsPath(path), error);
}

bool FileFacts::isVideo(const QString& path) const {
    return media::isVideo(fsPath(path));
}

bool FileFacts::canThumb(const QString& path) const {
    return media::canThumb(fsPath(path));
}

QString FileFacts::durationText(const QString& path, int) const {
    if (!isVideo(path)) return {};
    auto seconds = media::ThumbStore::shared().duration(fsPath(path));
    return seconds ? formatDuration(*seconds) : QString();
}

QString FileFacts::thumbSource(const QString& path, int side) const {
    if (path.isEmpty() || side <= 0 || !canThumb(path)) return {};
    // The path travels base64url-encoded so that '#', '?' and '%' in names survive the URL.
    auto encoded =
        path.toUtf8().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return QString("image://thumb/%1/%2").arg(side).arg(QString::fromLatin1(encoded));
}

QString FileFacts::iconSource(const QString& path) const {
    static const QMimeDatabase mimes;
    if (QFileInfo(path).isDir()) return "image://filetype/folder/folder";
    auto type = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return "image://filetype/" + type.iconName() + "/" + type.genericIconName();
}

QString FileFacts::cardLetters(const QString& path) const {
    return suffixOf(path).left(4).toUpper();
}

QString FileFacts::cardFamily(const QString& path) const {
    auto suffix = suffixOf(path);
    if (suffix.startsWith("doc") || suffix == "rtf" || suffix == "txt") return "text";
    if (suffix.startsWith("xls") || suffix == "csv") return "sheet";
    return "other";
}

void FileFacts::reveal(const QString& path) const {
    app::revealInFileManager(path.toStdString());
}

}  // namespace skiff::ui
