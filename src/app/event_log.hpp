#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace skiff::app {

// The event lines, newest first and bounded. A burst of one line (a host guessing codes,
// say) would push everything else out, so a repeat of the newest line within a minute is
// counted on it, shown as "line (×N)".
class EventLog {
  public:
    explicit EventLog(int limit) : m_limit(limit) {}

    void add(const QString& line, const QDateTime& at);
    const QStringList& lines() const { return m_lines; }

    // Whether a log that can only append (the terminal) should print the newest line: its
    // first time, then at 2, 10, 100, 1000… repeats, so a flood costs a few lines.
    bool newestIsNews() const;
    // How many times the newest line came in its burst: 1 starts a new one.
    int newestRepeats() const { return m_repeats; }

  private:
    int m_limit;
    QStringList m_lines;
    QString m_newest;
    QDateTime m_newestAt;
    int m_repeats = 0;
};

}  // namespace skiff::app
