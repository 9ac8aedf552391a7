#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "server/records.hpp"

namespace skiff::app {

// A finished upload as the window lists it.
struct ReceivedItem {
    QString id;  // a fresh UUID
    server::ReceivedFile file;
    QDateTime at;
};

// A device that passed access, newest first, one per host.
struct DeviceSeen {
    QString host;
    QString label;  // the long device name
    QDateTime at;
    QString kind;
};

// A device waiting for the person at the computer to allow or refuse it.
struct PendingDevice {
    QString id;  // a fresh UUID
    QString host;
    QString label;
    QString code;  // the four digits the phone shows too
    std::function<void(bool allow)> decide;
};

// The baseline a speed is measured from.
struct SpeedTick {
    QDateTime at;
    std::int64_t bytes = 0;
    QString uid;
};

// One live transfer card per phone.
struct FlowState {
    QString host;
    QString kind;
    QString device;
    QString name;
    std::int64_t received = 0;
    std::int64_t size = 0;
    double speed = 0;
    bool done = false;
    int count = 0;  // files completed in this card's batch
    std::optional<SpeedTick> tick;
};

// A row of the file browsers.
struct FileEntry {
    QString id;
    std::filesystem::path url;
    QString name;
    std::int64_t size = 0;
    QString detail;
    std::optional<QString> warning;
    bool removable = false;
    int files = 0;  // a received folder: the files that came in it; 0 for a file
};

// "N files just arrived from this device".
struct JustDone {
    int count = 0;
    QString device;
};

// How far the phones got with one shared file.
struct ShareProgress {
    double fraction = 0;
    bool done = false;
};

// The send tab's summary over every shared file.
struct SendSummary {
    double fraction = 0;
    bool done = false;
    bool active = false;
};

}  // namespace skiff::app
