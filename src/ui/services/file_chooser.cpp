#include "ui/services/file_chooser.hpp"

#include <QDBusArgument>
#include <QFile>
#include <QPointer>

#include "ui/services/desktop_portal.hpp"

namespace skiff::ui {

namespace {

QList<QUrl> urlsOf(const QVariant& value) {
    QStringList texts = value.toStringList();
    if (texts.isEmpty() && value.canConvert<QDBusArgument>()) value.value<QDBusArgument>() >> texts;
    QList<QUrl> urls;
    for (const QString& text : texts) {
        QUrl url(text);
        if (url.isValid() && url.isLocalFile()) urls << url;
    }
    return urls;
}

}  // namespace

bool FileChooser::open(QWindow* window) {
    if (m_busy) return true;
    if (!portalAvailable()) return false;
    QVariantMap options{{"accept_label", m_acceptLabel},
                        {"modal", true},
                        {"multiple", m_multiple},
                        {"directory", m_folders}};
    if (m_currentFolder.isLocalFile())
        options.insert("current_folder", QFile::encodeName(m_currentFolder.toLocalFile()) + '\0');
    setBusy(true);
    QPointer<FileChooser> self(this);
    PortalRequest::start("org.freedesktop.portal.FileChooser", "OpenFile",
                         {portalParentWindow(window), m_title}, options,
                         [self](uint code, const QVariantMap& results) {
                             if (!self) return;
                             self->setBusy(false);
                             QList<QUrl> urls = urlsOf(results.value("uris"));
                             // Only a portal that refused the call gets Qt's dialog
                             // instead: one the user closed must not come back as another.
                             if (code == PortalRequest::kRefused)
                                 emit self->failed();
                             else if (code == 0 && !urls.isEmpty())
                                 emit self->accepted(urls);
                             else
                                 emit self->rejected();
                         });
    return true;
}

void FileChooser::setBusy(bool busy) {
    if (m_busy == busy) return;
    m_busy = busy;
    emit busyChanged();
}

}  // namespace skiff::ui
