#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <vector>

namespace skiff::app {

// The previewer's state: the files it offers, the one it shows and whether it is open. The
// window that draws it binds to these properties; everything it decides lives here.
class QuickLook : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList urls READ urlTexts NOTIFY urlsChanged)
    Q_PROPERTY(int count READ count NOTIFY urlsChanged)
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentChanged)
    Q_PROPERTY(bool visible READ visible WRITE setVisible NOTIFY visibleChanged)
    // Facts about the file on show, empty while there is none.
    Q_PROPERTY(QString currentUrl READ currentUrl NOTIFY currentChanged)
    Q_PROPERTY(QString currentPath READ currentPath NOTIFY currentChanged)
    Q_PROPERTY(QString currentName READ currentName NOTIFY currentChanged)
    // "image", "video", "pdf", "text" or "other".
    Q_PROPERTY(QString currentKind READ currentKind NOTIFY currentChanged)
    Q_PROPERTY(qint64 currentSize READ currentSize NOTIFY currentChanged)
    // The opening of a text file, as much as the previewer shows.
    Q_PROPERTY(QString currentText READ currentText NOTIFY currentChanged)

  public:
    // How much of a text file is read for showing.
    static constexpr qint64 kTextLimit = 65536;

    explicit QuickLook(QObject* parent = nullptr);

    // Offers the files that still exist, in their order, starting at `start` (or at the first
    // when `start` is not among them), and opens. False when none exists; nothing changes then.
    Q_INVOKABLE bool show(const std::vector<std::filesystem::path>& files,
                          const std::filesystem::path& start);
    // Closes when open (true without looking at the list), otherwise show().
    bool toggle(const std::vector<std::filesystem::path>& files,
                const std::filesystem::path& start);
    Q_INVOKABLE void next();
    Q_INVOKABLE void previous();
    Q_INVOKABLE void close();

    const std::vector<std::filesystem::path>& files() const { return m_files; }
    QStringList urlTexts() const;
    int count() const { return static_cast<int>(m_files.size()); }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    bool visible() const { return m_visible; }
    void setVisible(bool visible);

    QString currentUrl() const;
    QString currentPath() const;
    QString currentName() const;
    QString currentKind() const;
    qint64 currentSize() const;
    QString currentText() const;

    // The kind the previewer draws a file as, from its name and, for text, its type.
    static QString kindOf(const std::filesystem::path& file);

  signals:
    void urlsChanged();
    void currentChanged();
    void visibleChanged();
    // Asks the window to come to the front, also when it is already open.
    void raiseRequested();

  private:
    std::vector<std::filesystem::path> m_files;
    int m_current = -1;
    bool m_visible = false;
};

}  // namespace skiff::app
