#pragma once

#include <QString>

#include <cstdint>

namespace skiff::ui {

// Byte counts in the file style shared with the rest of the program ("532 byte", "4,2 MB").
QString byteCount(std::int64_t bytes);

// "{received} / {size}" as byte counts.
QString byteProgress(std::int64_t received, std::int64_t size);

// Whole percent of `received` in `size`, kept within 0..100; an empty file counts as complete.
int wholePercent(std::int64_t received, std::int64_t size);

// Upload or download speed in bytes per second as "12.3 MB/s".
QString speedText(double bytesPerSecond);

// A remaining time as "45 giây", "2 phút 5 giây" or "1 giờ 3 phút"; empty when the time is not
// a finite positive number (a stalled transfer has no end to announce).
QString durationText(double seconds);

// The incoming card's short form: "còn {n} giây" below a minute (rounded up), else "còn {n}
// phút" (whole minutes); empty while the speed is unknown or nothing remains.
QString remainingText(std::int64_t received, std::int64_t size, double bytesPerSecond);

// The session code as three digits, a space and three digits; other lengths as they are.
QString groupedCode(const QString& code);

// `path` with `home` written as "~" when the path is the home folder or inside it.
QString withTilde(const QString& path, const QString& home);

// The current user's home folder from the password database (HOME as a last resort).
QString userHome();

}  // namespace skiff::ui
