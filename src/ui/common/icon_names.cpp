#include "ui/common/icon_names.hpp"

#include <QHash>

namespace skiff::ui {

std::optional<QString> themeIconName(const QString& symbol) {
    static const QHash<QString, QString> names = {
        {"folder", "folder"},
        {"gearshape", "preferences-system"},
        {"questionmark.circle", "help-browser"},
        {"qrcode", "view-barcode-qr"},
        {"play.rectangle", "media-playback-start"},
    };
    auto found = names.find(symbol);
    if (found == names.end()) return std::nullopt;
    return *found;
}

}  // namespace skiff::ui
