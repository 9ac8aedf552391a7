#include "ui/common/icon_names.hpp"

#include <QHash>

namespace skiff::ui {

namespace {

struct Symbol {
    const char* theme;    // "" when no theme icon fits
    const char* drawing;  // SVG body on a 16 x 16 grid, drawn in black
};

// One row per symbol. The theme names are the symbolic ones, so they take the window's colour.
const QHash<QString, Symbol>& table() {
    static const QHash<QString, Symbol> symbols =
        {
            {"qrcode",
             {"",
              R"(<path d="M1 1h6v6H1zM2.5 2.5v3h3v-3zM9 1h6v6H9zM10.5 2.5v3h3v-3zM1 9h6v6H1zM2.5 10.5v3h3v-3z" fill-rule="evenodd"/><path d="M3.5 3.5h1v1h-1zM11.5 3.5h1v1h-1zM3.5 11.5h1v1h-1zM9 9h2v2H9zM11 11h2v2h-2zM13 9h2v2h-2zM9 13h2v2H9zM13 13h2v2h-2z"/>)"}},
            {"qrcode.viewfinder",
             {"camera-photo-symbolic",
              R"(<path d="M1 1h4v1.5H2.5V5H1zM11 1h4v4h-1.5V2.5H11zM1 11h1.5v2.5H5V15H1zM13.5 11H15v4h-4v-1.5h2.5z"/><path d="M4 4h3v3H4zM9 4h3v3H9zM4 9h3v3H4zM9 9h1.5v1.5H9zM10.5 10.5H12V12h-1.5z"/>)"}},
            {"folder",
             {"folder-symbolic",
              R"(<path d="M1 3.5C1 2.7 1.7 2 2.5 2H6l1.5 1.5h6c.8 0 1.5.7 1.5 1.5v7.5c0 .8-.7 1.5-1.5 1.5h-11C1.7 14 1 13.3 1 12.5z"/>)"}},
            {"gearshape",
             {"emblem-system-symbolic",
              R"(<path d="M6.8 1h2.4l.4 2 1.4.6 1.7-1.1 1.7 1.7-1.1 1.7.6 1.4 2 .4v2.4l-2 .4-.6 1.4 1.1 1.7-1.7 1.7-1.7-1.1-1.4.6-.4 2H6.8l-.4-2-1.4-.6-1.7 1.1-1.7-1.7 1.1-1.7-.6-1.4-2-.4V6.8l2-.4.6-1.4-1.1-1.7 1.7-1.7 1.7 1.1 1.4-.6zM8 5.5a2.5 2.5 0 1 0 0 5 2.5 2.5 0 0 0 0-5z" fill-rule="evenodd"/>)"}},
            {"questionmark.circle",
             {"help-browser-symbolic",
              R"(<path d="M8 1a7 7 0 1 0 0 14A7 7 0 0 0 8 1zm0 1.5a5.5 5.5 0 1 1 0 11 5.5 5.5 0 0 1 0-11z" fill-rule="evenodd"/><path d="M5.6 6.2C5.6 4.8 6.7 4 8 4s2.5.8 2.5 2.1c0 1.8-1.8 1.8-1.8 3.2H7.3c0-2.2 1.7-2.2 1.7-3.2 0-.5-.4-.8-1-.8s-1 .4-1 .9zM7.2 10.4h1.6V12H7.2z"/>)"}},
            {"play.rectangle",
             {"video-x-generic-symbolic",
              R"(<path d="M1 4c0-.8.7-1.5 1.5-1.5h11c.8 0 1.5.7 1.5 1.5v8c0 .8-.7 1.5-1.5 1.5h-11C1.7 13.5 1 12.8 1 12zm1.5 0v8h11V4z" fill-rule="evenodd"/><path d="M6.5 5.5 10.5 8l-4 2.5z"/>)"}},
            {"play.rectangle.fill",
             {"video-x-generic-symbolic",
              R"(<path d="M2.5 2.5h11c.8 0 1.5.7 1.5 1.5v8c0 .8-.7 1.5-1.5 1.5h-11C1.7 13.5 1 12.8 1 12V4c0-.8.7-1.5 1.5-1.5zM6.5 5.5v5l4-2.5z" fill-rule="evenodd"/>)"}},
            {"play.fill", {"media-playback-start-symbolic", R"(<path d="M4 2l10 6-10 6z"/>)"}},
            {"wifi.exclamationmark",
             {"network-wireless-no-route-symbolic", R"(<path d="M1 5.5a10 10 0 0 1 11-2.2l-.6 1.4A8.5 8.5 0 0 0 2.1 6.6zM3.3 7.8a6.8 6.8 0 0 1 7-1.5l-.5 1.4a5.3 5.3 0 0 0-5.4 1.2zM5.6 10.1a3.5 3.5 0 0 1 3-1l-.2 1.5a2 2 0 0 0-1.7.6zM8 11.5a1.2 1.2 0 1 1 0 2.4 1.2 1.2 0 0 1 0-2.4zM12.8 5h1.6v6h-1.6zM12.8 12.4h1.6V14h-1.6z"/>)"}},
            {"iphone",
             {"phone-symbolic",
              R"(<path d="M5 1h6c.8 0 1.5.7 1.5 1.5v11c0 .8-.7 1.5-1.5 1.5H5c-.8 0-1.5-.7-1.5-1.5v-11C3.5 1.7 4.2 1 5 1zm0 1.5v11h6v-11zM7 12h2v1H7z" fill-rule="evenodd"/>)"}},
            {"ipad",
             {"tablet-symbolic",
              R"(<path d="M3 1h10c.8 0 1.5.7 1.5 1.5v11c0 .8-.7 1.5-1.5 1.5H3c-.8 0-1.5-.7-1.5-1.5v-11C1.5 1.7 2.2 1 3 1zm0 1.5v11h10v-11zM7 12h2v1H7z" fill-rule="evenodd"/>)"}},
            {"laptopcomputer",
             {"computer-symbolic",
              R"(<path d="M3 3h10c.6 0 1 .4 1 1v7H2V4c0-.6.4-1 1-1zm.5 1.5v5h9v-5zM0 12h16v.5c0 .8-.7 1.5-1.5 1.5h-13C.7 14 0 13.3 0 12.5z" fill-rule="evenodd"/>)"}},
            {"desktopcomputer",
             {"computer-symbolic",
              R"(<path d="M2 2h12c.6 0 1 .4 1 1v8c0 .6-.4 1-1 1H9.5v1.5H11V15H5v-1.5h1.5V12H2c-.6 0-1-.4-1-1V3c0-.6.4-1 1-1zm.5 1.5v7h11v-7z" fill-rule="evenodd"/>)"}},
            {"checkmark",
             {"object-select-symbolic",
              R"(<path d="M2 8.5l1.4-1.4L6.5 10l6.1-6.4L14 5l-7.5 8z"/>)"}},
            {"checkmark.circle.fill",
             {"emblem-ok-symbolic",
              R"(<path d="M8 1a7 7 0 1 1 0 14A7 7 0 0 1 8 1zm3.4 4.2L7 9.6 4.8 7.4 3.7 8.5 7 11.8l5.5-5.5z" fill-rule="evenodd"/>)"}},
            {"xmark.circle.fill",
             {"window-close-symbolic",
              R"(<path d="M8 1a7 7 0 1 1 0 14A7 7 0 0 1 8 1zM5.5 4.4 4.4 5.5 6.9 8l-2.5 2.5 1.1 1.1L8 9.1l2.5 2.5 1.1-1.1L9.1 8l2.5-2.5-1.1-1.1L8 6.9z" fill-rule="evenodd"/>)"}},
            {"info.circle",
             {"dialog-information-symbolic",
              R"(<path d="M8 1a7 7 0 1 0 0 14A7 7 0 0 0 8 1zm0 1.5a5.5 5.5 0 1 1 0 11 5.5 5.5 0 0 1 0-11z" fill-rule="evenodd"/><path d="M7.2 4h1.6v1.6H7.2zM7.2 6.8h1.6V12H7.2z"/>)"}},
            {"square.and.arrow.up",
             {"document-send-symbolic",
              R"(<path d="M8 .5l3.5 3.5-1.1 1.1-1.6-1.6V10H7.2V3.5L5.6 5.1 4.5 4zM2 6.5h3V8H3.5v5.5h9V8H11V6.5h3V15H2z"/>)"}},
            {"square.grid.2x2",
             {"view-grid-symbolic", R"(<path d="M1 1h6v6H1zM9 1h6v6H9zM1 9h6v6H1zM9 9h6v6H9z"/>)"}},
            {"list.bullet",
             {"view-list-bullet-symbolic",
              R"(<path d="M1 2h2.5v2.5H1zM5 2.5h10V4H5zM1 6.8h2.5v2.5H1zM5 7.3h10v1.5H5zM1 11.5h2.5V14H1zM5 12h10v1.5H5z"/>)"}},
            {"eye",
             {"view-reveal-symbolic",
              R"(<path d="M8 3c3.5 0 6.2 2.5 7.5 5-1.3 2.5-4 5-7.5 5S1.8 10.5.5 8C1.8 5.5 4.5 3 8 3zm0 2a3 3 0 1 0 0 6 3 3 0 0 0 0-6zm0 1.5a1.5 1.5 0 1 1 0 3 1.5 1.5 0 0 1 0-3z" fill-rule="evenodd"/>)"}},
            {"arrow.down",
             {"go-down-symbolic",
              R"(<path d="M7.2 1h1.6v10.3l3.6-3.6 1.1 1.1L8 14.3 2.5 8.8l1.1-1.1 3.6 3.6z"/>)"}},
            {"arrow.up",
             {"go-up-symbolic",
              R"(<path d="M7.2 15h1.6V4.7l3.6 3.6 1.1-1.1L8 1.7 2.5 7.2l1.1 1.1 3.6-3.6z"/>)"}},
            {"chevron.right",
             {"go-next-symbolic", R"(<path d="M5.4 2.4 6.5 1.3 13.2 8l-6.7 6.7-1.1-1.1L11 8z"/>)"}},
            {"chevron.down",
             {"pan-down-symbolic", R"(<path d="M2.4 5.4 1.3 6.5 8 13.2l6.7-6.7-1.1-1.1L8 11z"/>)"}},
            {"plus",
             {"list-add-symbolic",
              R"(<path d="M7.2 2h1.6v5.2H14v1.6H8.8V14H7.2V8.8H2V7.2h5.2z"/>)"}},
            {"paperplane.fill",
             {"mail-send-symbolic",
              R"(<path d="M15 1 1 7l5 2 2 6zM6.3 8.4l6.4-5.2-5 6.3z" fill-rule="evenodd"/>)"}},
            {"photo.fill",
             {"image-x-generic-symbolic",
              R"(<path d="M2.5 2h11c.8 0 1.5.7 1.5 1.5v9c0 .8-.7 1.5-1.5 1.5h-11c-.8 0-1.5-.7-1.5-1.5v-9C1 2.7 1.7 2 2.5 2zM3 12h10l-3.2-4.5-2.3 3-1.6-1.8zM5 4.2a1.3 1.3 0 1 0 0 2.6 1.3 1.3 0 0 0 0-2.6z" fill-rule="evenodd"/>)"}},
            {"doc.richtext.fill",
             {"x-office-document-symbolic",
              R"(<path d="M3.5 1H10l3.5 3.5v9c0 .8-.7 1.5-1.5 1.5H3.5C2.7 15 2 14.3 2 13.5v-11C2 1.7 2.7 1 3.5 1zM4.5 7h7v1h-7zM4.5 9h7v1h-7zM4.5 11h5v1h-5z" fill-rule="evenodd"/>)"}},
            {"doc.text.fill",
             {"text-x-generic-symbolic",
              R"(<path d="M3.5 1H10l3.5 3.5v9c0 .8-.7 1.5-1.5 1.5H3.5C2.7 15 2 14.3 2 13.5v-11C2 1.7 2.7 1 3.5 1zM4.5 8h7v1h-7zM4.5 10.5h7v1h-7z" fill-rule="evenodd"/>)"}},
            {"doc.zipper",
             {"package-x-generic-symbolic",
              R"(<path d="M3.5 1H10l3.5 3.5v9c0 .8-.7 1.5-1.5 1.5H3.5C2.7 15 2 14.3 2 13.5v-11C2 1.7 2.7 1 3.5 1zm0 1.5v11H12V5H9.5V2.5H8v1H7v1h1v1H7v1h1v1H7v2.5h2V9H8V8H7V7h1V6H7V5h1V4H7V2.5z" fill-rule="evenodd"/>)"}},
        };
    return symbols;
}

}  // namespace

std::optional<QString> themeIconName(const QString& symbol) {
    auto found = table().find(symbol);
    if (found == table().end() || !*found->theme) return std::nullopt;
    return QString::fromLatin1(found->theme);
}

std::optional<QByteArray> iconDrawing(const QString& symbol) {
    auto found = table().find(symbol);
    if (found == table().end()) return std::nullopt;
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">)") +
           found->drawing + "</svg>";
}

QString deviceSymbol(const QString& kind) {
    if (kind == "iphone" || kind == "android") return "iphone";
    if (kind == "ipad" || kind == "tablet") return "ipad";
    if (kind == "windows") return "laptopcomputer";
    return "checkmark.circle.fill";
}

QStringList knownSymbols() {
    QStringList names = table().keys();
    names.sort();
    return names;
}

}  // namespace skiff::ui
