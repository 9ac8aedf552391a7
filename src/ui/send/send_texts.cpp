#include "ui/send/send_texts.hpp"

#include <algorithm>
#include <cmath>

#include "ui/common/text_format.hpp"

namespace skiff::ui {

namespace {

QString wholePercent(double fraction) {
    double clamped = std::clamp(fraction, 0.0, 1.0);
    return QString::number(static_cast<int>(std::floor(clamped * 100.0))) + "%";
}

}  // namespace

QString megabytesPerSecond(double bytesPerSecond) {
    return QString::asprintf("%.0f MB/s", bytesPerSecond / 1000000.0);
}

SendStatus sendStatus(double fraction, bool done, bool active, int fileCount, const QString& phone,
                      bool phoneSeen, double sendSpeed) {
    if (done) return {phone + " đã tải đủ " + QString::number(fileCount) + " file", {}, {}};
    if (active)
        return {phone + " đang tải về · ", wholePercent(fraction),
                sendSpeed > 0 ? " · " + megabytesPerSecond(sendSpeed) : QString()};
    if (phoneSeen) return {phone + " mở Skiff → “Nhận từ máy tính” để tải về", {}, {}};
    return {"Mở Skiff trên điện thoại → “Nhận từ máy tính” để tải về", {}, {}};
}

double beamSpeed(double mbps, bool active) {
    if (!active) return 0;
    return 0.35 + 0.22 * std::log1p(std::max(0.0, mbps));
}

SendTexts::SendTexts(QObject* parent) : QObject(parent) {}

QVariantMap SendTexts::status(const QVariantMap& summary, int fileCount, const QString& sendDevice,
                              const QVariantList& devices, double sendSpeed) const {
    QString phone = sendDevice;
    if (phone.isEmpty() && !devices.isEmpty())
        phone = devices.front().toMap().value("label").toString();
    bool seen = !phone.isEmpty();
    if (phone.isEmpty()) phone = "Điện thoại";
    SendStatus line =
        sendStatus(summary.value("fraction").toDouble(), summary.value("done").toBool(),
                   summary.value("active").toBool(), fileCount, phone, seen, sendSpeed);
    return {{"lead", line.lead}, {"percent", line.percent}, {"speed", line.speed}};
}

QString SendTexts::speedText(double bytesPerSecond) const {
    return megabytesPerSecond(bytesPerSecond);
}

double SendTexts::beamSpeed(double mbps, bool active) const {
    return ui::beamSpeed(mbps, active);
}

QString SendTexts::sharedTotal(const QVariantList& entries) const {
    std::int64_t total = 0;
    for (const QVariant& entry : entries)
        total += static_cast<std::int64_t>(entry.toMap().value("size").toDouble());
    return QString::number(entries.size()) + " file · " + byteCount(total);
}

QString SendTexts::percent(double fraction) const {
    return wholePercent(fraction);
}

}  // namespace skiff::ui
