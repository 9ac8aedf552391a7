#pragma once

#include <QString>

#include <optional>

namespace skiff::ui {

// The freedesktop icon-theme name standing in for a symbol name, when there is one.
std::optional<QString> themeIconName(const QString& symbol);

}  // namespace skiff::ui
