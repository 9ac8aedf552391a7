#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>

namespace skiff::ui {

// Space previews the selected file, wherever the focus is, unless the person is typing: the
// key then goes to the text field. Space with Control, Alt or Meta, and held-down repeats,
// pass on unchanged; so does Space when the model had nothing to preview.
class SpaceKey : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickWindow* window READ window WRITE setWindow NOTIFY windowChanged)
    // The object whose `previewSelection()` (returning bool) the key calls.
    Q_PROPERTY(QObject* model READ model WRITE setModel NOTIFY modelChanged)

  public:
    explicit SpaceKey(QObject* parent = nullptr);
    ~SpaceKey() override;

    QQuickWindow* window() const { return m_window; }
    void setWindow(QQuickWindow* window);
    QObject* model() const { return m_model; }
    void setModel(QObject* model);

    bool eventFilter(QObject* watched, QEvent* event) override;

  signals:
    void windowChanged();
    void modelChanged();

  private:
    QPointer<QQuickWindow> m_window;
    QPointer<QObject> m_model;
};

// True when `item` takes typed text (a text field or text area has the focus).
bool takesText(const QObject* item);

}  // namespace skiff::ui
