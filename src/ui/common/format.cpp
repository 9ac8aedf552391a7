#include "ui/common/format.hpp"

#include <cmath>

#include "ui/common/icon_names.hpp"
#include "ui/common/text_format.hpp"

namespace skiff::ui {

namespace {

std::int64_t whole(double value) {
    if (!std::isfinite(value) || value <= 0) return 0;
    if (value >= 9.2e18) return INT64_MAX;
    return static_cast<std::int64_t>(value);
}

}  // namespace

QString Format::bytes(double count) const {
    return byteCount(whole(count));
}

QString Format::progress(double received, double size) const {
    return byteProgress(whole(received), whole(size));
}

int Format::percent(double received, double size) const {
    return wholePercent(whole(received), whole(size));
}

QString Format::speed(double bytesPerSecond) const {
    return speedText(bytesPerSecond);
}

QString Format::duration(double seconds) const {
    return durationText(seconds);
}

QString Format::remaining(double received, double size, double bytesPerSecond) const {
    return remainingText(whole(received), whole(size), bytesPerSecond);
}

QString Format::code(const QString& code) const {
    return groupedCode(code);
}

QString Format::homePath(const QString& path) const {
    static const QString home = userHome();
    return withTilde(path, home);
}

QString Format::deviceSymbol(const QString& kind) const {
    return skiff::ui::deviceSymbol(kind);
}

QUrl Format::fileUrl(const QString& path) const {
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

}  // namespace skiff::ui
