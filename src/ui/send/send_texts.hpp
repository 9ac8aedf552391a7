#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace skiff::ui {

// The send tab's status line in its three styled pieces: `lead` in the secondary colour,
// `percent` semibold, `speed` secondary again. Only the downloading state uses all three.
struct SendStatus {
    QString lead;
    QString percent;
    QString speed;
};

// What the tab says about the phones' downloads. `phone` is the name to use ("Điện thoại" when
// none is known), `phoneSeen` whether any phone has been seen at all.
SendStatus sendStatus(double fraction, bool done, bool active, int fileCount, const QString& phone,
                      bool phoneSeen, double sendSpeed);

// "12 MB/s" from bytes per second, rounded to whole megabytes.
QString megabytesPerSecond(double bytesPerSecond);

// How fast the beam's dots run, in beam lengths per second: still without a transfer, then
// growing with the logarithm of the rate so a slow phone still shows movement.
double beamSpeed(double mbps, bool active);

// The same for the views.
class SendTexts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    explicit SendTexts(QObject* parent = nullptr);

    // {lead, percent, speed} from the model's send summary map.
    Q_INVOKABLE QVariantMap status(const QVariantMap& summary, int fileCount,
                                   const QString& sendDevice, const QVariantList& devices,
                                   double sendSpeed) const;
    Q_INVOKABLE QString speedText(double bytesPerSecond) const;
    Q_INVOKABLE double beamSpeed(double mbps, bool active) const;
    // "{n} file · {size}" of the shared entries.
    Q_INVOKABLE QString sharedTotal(const QVariantList& entries) const;
    // The whole percent of a fraction, "37%".
    Q_INVOKABLE QString percent(double fraction) const;
};

}  // namespace skiff::ui
