#include "app/event_log.hpp"

namespace skiff::app {
namespace {

constexpr qint64 kRepeatWindowMs = 60'000;

}  // namespace

void EventLog::add(const QString& line, const QDateTime& at) {
    bool repeat = !m_lines.isEmpty() && line == m_newest && m_newestAt.isValid() &&
                  m_newestAt.msecsTo(at) <= kRepeatWindowMs;
    m_newestAt = at;
    if (repeat) {
        ++m_repeats;
        m_lines.front() = line + QStringLiteral(" (×%1)").arg(m_repeats);
        return;
    }
    m_newest = line;
    m_repeats = 1;
    m_lines.prepend(line);
    while (m_lines.size() > m_limit) m_lines.removeLast();
}

bool EventLog::newestIsNews() const {
    if (m_repeats <= 2) return m_repeats > 0;
    int power = 10;
    while (power < m_repeats) power *= 10;
    return power == m_repeats;
}

}  // namespace skiff::app
