#pragma once

#include <QString>

#include <string>
#include <vector>

#include "server/file_server.hpp"

namespace skiff::app {

// The texts the computer offers to the phones, newest first. They live in the server's tables,
// where the file listing reads them; this keeps them few and bounded.
class SharedTexts {
  public:
    static constexpr std::size_t maxBytes = 65536;  // as much as a phone may send
    static constexpr std::size_t kept = 20;         // older ones go when more are shared

    explicit SharedTexts(server::FileServer& server) : m_server(server) {}

    enum class Outcome { shared, blank, tooLong };
    // Shares `text` as it is; the same text again moves to the front.
    Outcome add(const QString& text);
    void remove(const std::string& id);
    void clear();
    std::vector<server::SharedText> list() const;

  private:
    server::FileServer& m_server;
};

}  // namespace skiff::app
