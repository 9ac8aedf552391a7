#include "ui/common/text_format.hpp"

#include <pwd.h>
#include <unistd.h>

#include <QDir>

#include "server/byte_count.hpp"

#include <cmath>
#include <vector>

namespace skiff::ui {

QString byteCount(std::int64_t bytes) {
    return QString::fromStdString(server::formatByteCount(bytes < 0 ? 0 : bytes));
}

QString byteProgress(std::int64_t received, std::int64_t size) {
    return byteCount(received) + " / " + byteCount(size);
}

int wholePercent(std::int64_t received, std::int64_t size) {
    if (size <= 0) return 100;
    if (received <= 0) return 0;
    if (received >= size) return 100;
    return static_cast<int>(static_cast<long double>(received) * 100 / size);
}

QString speedText(double bytesPerSecond) {
    if (!std::isfinite(bytesPerSecond) || bytesPerSecond < 0) bytesPerSecond = 0;
    return QString::asprintf("%.1f MB/s", bytesPerSecond / 1000000.0);
}

QString durationText(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return {};
    if (seconds < 60) return QString::number(static_cast<long long>(std::ceil(seconds))) + " giây";
    auto whole = static_cast<long long>(seconds);
    if (seconds < 3600) return QString("%1 phút %2 giây").arg(whole / 60).arg(whole % 60);
    return QString("%1 giờ %2 phút").arg(whole / 3600).arg(whole % 3600 / 60);
}

QString remainingText(std::int64_t received, std::int64_t size, double bytesPerSecond) {
    if (!std::isfinite(bytesPerSecond) || bytesPerSecond <= 0) return {};
    double left = static_cast<double>(size - received) / bytesPerSecond;
    if (!(left > 0)) return {};
    if (left < 60) return QString("còn %1 giây").arg(static_cast<long long>(std::ceil(left)));
    return QString("còn %1 phút").arg(static_cast<long long>(left / 60));
}

QString groupedCode(const QString& code) {
    if (code.size() != 6) return code;
    return code.left(3) + " " + code.right(3);
}

QString withTilde(const QString& path, const QString& home) {
    QString base = home;
    while (base.size() > 1 && base.endsWith('/')) base.chop(1);
    if (base.isEmpty() || base == "/") return path;
    if (path == base) return "~";
    if (path.startsWith(base + '/')) return "~" + path.mid(base.size());
    return path;
}

QString userHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir)
        return QString::fromLocal8Bit(found->pw_dir);
    return QDir::homePath();
}

}  // namespace skiff::ui
