#include "app/text_link.hpp"

namespace skiff::app {

std::optional<QUrl> singleLink(const QString& text) {
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 8192) return std::nullopt;
    for (QChar c : trimmed)
        if (c.isSpace() || c.category() == QChar::Other_Control) return std::nullopt;
    QUrl url(trimmed);
    QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "http" && scheme != "https") || url.host().isEmpty())
        return std::nullopt;
    return url;
}

}  // namespace skiff::app
