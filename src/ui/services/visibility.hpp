#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>
#include <QWindow>

namespace skiff::ui {

// Whether any of a window can be seen: shown, not minimised, exposed on screen, and the
// application not hidden. Views bind to `visible` to stop animating while nobody can see them.
//     Visibility { id: seen; window: root }   ...   running: seen.visible
class Visibility : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QWindow* window READ window WRITE setWindow NOTIFY windowChanged)
    Q_PROPERTY(bool visible READ visible NOTIFY visibleChanged)

  public:
    explicit Visibility(QObject* parent = nullptr);
    ~Visibility() override;

    QWindow* window() const { return m_window; }
    void setWindow(QWindow* window);
    bool visible() const { return m_visible; }

    // Works the state out again; `visible` changes only when the answer does.
    Q_INVOKABLE void update();

    bool eventFilter(QObject* watched, QEvent* event) override;

  signals:
    void windowChanged();
    void visibleChanged();

  private:
    QPointer<QWindow> m_window;
    bool m_visible = true;
};

}  // namespace skiff::ui
