#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickWindow>

#include <filesystem>
#include <vector>

#include "app/quick_look.hpp"

class QQmlEngine;

namespace skiff::ui {

// The previewer's top-level window, made on first use from `engine` and shown while `look`
// says so. Closing it by the window manager closes `look` too.
class PreviewWindow : public QObject {
    Q_OBJECT
  public:
    PreviewWindow(QQmlEngine& engine, app::QuickLook& look, QObject* parent = nullptr);
    ~PreviewWindow() override;

    // What the model's preview service does: toggle or show, then bring the window forward.
    bool preview(const std::vector<std::filesystem::path>& files,
                 const std::filesystem::path& start, bool toggle);

    QQuickWindow* window() const { return m_window; }

  private:
    void ensureWindow();
    void follow();

    QQmlEngine& m_engine;
    app::QuickLook& m_look;
    QPointer<QQuickWindow> m_window;
};

}  // namespace skiff::ui
