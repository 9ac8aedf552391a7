#include "ui/services/color_scheme.hpp"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>

#include "ui/services/desktop_portal.hpp"

namespace skiff::ui {

namespace {

const QString kSettings = "org.freedesktop.portal.Settings";
const QString kAppearance = "org.freedesktop.appearance";
const QString kColorScheme = "color-scheme";

// Read wraps its answer in one variant more than the value has; take off every layer.
uint plainValue(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        QDBusVariant inner;
        value.value<QDBusArgument>() >> inner;
        value = inner.variant();
    }
    return value.toUInt();
}

}  // namespace

ColorScheme::ColorScheme(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_desktop(QGuiApplication::palette()) {
    if (!portalAvailable(m_bus)) return;
    // QtDBus matches the slot's arguments by their registered types: without this the connect
    // fails, and the desktop's changes never arrive.
    qRegisterMetaType<QDBusVariant>();
    m_bus.connect(kPortalService, kPortalPath, kSettings, "SettingChanged", this,
                  SLOT(settingChanged(QString, QString, QDBusVariant)));
    auto message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettings, "Read");
    message << kAppearance << kColorScheme;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                QDBusMessage reply = call->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                    apply(choiceOf(plainValue(reply.arguments().first())));
            });
}

ColorScheme::Choice ColorScheme::choiceOf(uint value) {
    return value == 1 ? Choice::dark : value == 2 ? Choice::light : Choice::none;
}

void ColorScheme::settingChanged(const QString& group, const QString& key,
                                 const QDBusVariant& value) {
    if (group == kAppearance && key == kColorScheme) apply(choiceOf(plainValue(value.variant())));
}

void ColorScheme::apply(Choice choice) {
    if (choice == m_choice) return;
    m_choice = choice;
    QGuiApplication::setPalette(choice == Choice::none ? m_desktop
                                                       : palette(choice == Choice::dark));
}

QPalette ColorScheme::palette(bool dark) {
    struct Roles {
        const char *window, *text, *base, *alternate, *button, *light, *mid, *darker, *shadow,
            *highlight, *link, *dim;
    };
    // GNOME's and KDE's greys and blue, so Skiff sits among the desktop's own programs.
    const Roles roles =
        dark ? Roles{"#242424", "#f2f2f2", "#1e1e1e", "#2a2a2a", "#383838", "#4a4a4a",
                     "#303030", "#181818", "#000000", "#1c71d8", "#78aeed", "#9a9a9a"}
             : Roles{"#fafafa", "#1d1d1f", "#ffffff", "#f4f4f4", "#ececec", "#ffffff",
                     "#c8c8c8", "#a0a0a0", "#6e6e6e", "#1c71d8", "#1a5fb4", "#6e6e6e"};
    QPalette palette;
    palette.setColor(QPalette::Window, roles.window);
    palette.setColor(QPalette::WindowText, roles.text);
    palette.setColor(QPalette::Base, roles.base);
    palette.setColor(QPalette::AlternateBase, roles.alternate);
    palette.setColor(QPalette::Text, roles.text);
    palette.setColor(QPalette::Button, roles.button);
    palette.setColor(QPalette::ButtonText, roles.text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, roles.light);
    palette.setColor(QPalette::Midlight, roles.light);
    palette.setColor(QPalette::Mid, roles.mid);
    palette.setColor(QPalette::Dark, roles.darker);
    palette.setColor(QPalette::Shadow, roles.shadow);
    palette.setColor(QPalette::Highlight, roles.highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, roles.link);
    palette.setColor(QPalette::LinkVisited, roles.link);
    palette.setColor(QPalette::ToolTipBase, roles.button);
    palette.setColor(QPalette::ToolTipText, roles.text);
    palette.setColor(QPalette::PlaceholderText, roles.dim);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, roles.dim);
    return palette;
}

}  // namespace skiff::ui
