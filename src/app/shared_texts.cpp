#include "app/shared_texts.hpp"

#include <algorithm>

#include "server/secure_random.hpp"

namespace skiff::app {

SharedTexts::Outcome SharedTexts::add(const QString& text) {
    if (text.trimmed().isEmpty()) return Outcome::blank;
    std::string bytes = text.toStdString();
    if (bytes.size() > maxBytes) return Outcome::tooLong;
    m_server.mutateTables([&](server::ServerTables& tables) {
        auto& texts = tables.texts;
        std::erase_if(texts, [&](const server::SharedText& t) { return t.text == bytes; });
        texts.insert(texts.begin(), server::SharedText{server::randomHex(16), std::move(bytes)});
        if (texts.size() > kept) texts.resize(kept);
    });
    return Outcome::shared;
}

void SharedTexts::remove(const std::string& id) {
    m_server.mutateTables([&](server::ServerTables& tables) {
        std::erase_if(tables.texts, [&](const server::SharedText& t) { return t.id == id; });
    });
}

void SharedTexts::clear() {
    m_server.mutateTables([](server::ServerTables& tables) { tables.texts.clear(); });
}

std::vector<server::SharedText> SharedTexts::list() const {
    return m_server.withTables([](const server::ServerTables& tables) { return tables.texts; });
}

}  // namespace skiff::app
