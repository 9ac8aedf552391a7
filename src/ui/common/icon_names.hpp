#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace skiff::ui {

// The window names its icons by symbol names ("qrcode", "checkmark.circle.fill"). Each has
// a freedesktop icon-theme name where the themes carry a fitting icon, and every one has a
// drawing of our own for desktops without a theme.

// The icon-theme name standing in for a symbol, when there is one.
std::optional<QString> themeIconName(const QString& symbol);

// Our own 16 x 16 SVG drawing of a symbol in black, or nothing for an unknown symbol.
std::optional<QByteArray> iconDrawing(const QString& symbol);

// The symbol of a phone's device kind in the device capsules: "iphone" for iPhones and
// Android phones, "ipad" for tablets, "laptopcomputer" for Windows, a check mark otherwise.
QString deviceSymbol(const QString& kind);

// Every symbol the window uses.
QStringList knownSymbols();

}  // namespace skiff::ui
