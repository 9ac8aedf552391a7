#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace skiff::app {

// The link a text is, when it is exactly one http or https address (blanks around it aside);
// anything more, or any other scheme, is no link.
std::optional<QUrl> singleLink(const QString& text);

}  // namespace skiff::app
