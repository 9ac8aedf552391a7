#include "ui/services/attention.hpp"

#include <canberra.h>

#include <QGuiApplication>
#include <QString>
#include <QWindow>

#include "app/application_id.hpp"

namespace skiff::ui {

namespace {

ca_context* soundContext() {
    // One context for the process: opening the sound driver is the slow part.
    static ca_context* context = [] {
        ca_context* made = nullptr;
        if (ca_context_create(&made) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
        ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "Skiff", CA_PROP_APPLICATION_ID,
                                app::applicationId, nullptr);
        return made;
    }();
    return context;
}

}  // namespace

void requestAttention() {
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->isVisible()) window->alert(0);  // 0: until the window is activated
    if (auto* context = soundContext())
        ca_context_play(context, 0, CA_PROP_EVENT_ID, "message-new-instant",
                        CA_PROP_EVENT_DESCRIPTION, "Thiết bị mới xin kết nối", nullptr);
}

void bringToFront(QWindow& window, const QString& activationToken) {
    window.setWindowStates(window.windowStates() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    // Qt's Wayland plugin passes this variable to xdg-activation on the next request, once.
    bool token =
        !activationToken.isEmpty() && QGuiApplication::platformName().startsWith("wayland");
    if (token) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    window.requestActivate();
    if (!token) window.alert(0);
}

}  // namespace skiff::ui
