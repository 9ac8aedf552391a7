#pragma once

#include <QQuickAsyncImageProvider>
#include <QQuickImageProvider>

#include <deque>
#include <memory>
#include <mutex>

class QQmlEngine;

namespace skiff::ui {

class ThumbResponse;

// Serves "image://thumb/<side>/<base64url path>" from the thumbnail store, off the main
// thread. The store makes at most two thumbnails at once; requests beyond that wait here, where
// a tile that scrolled away can still withdraw its request before any decoding starts.
class ThumbProvider : public QQuickAsyncImageProvider {
  public:
    ThumbProvider();
    ~ThumbProvider() override;
    QQuickImageResponse* requestImageResponse(const QString& id,
                                              const QSize& requestedSize) override;

    struct Queue;

  private:
    std::shared_ptr<Queue> m_queue;
};

// Serves "image://filetype/<icon name>/<generic icon name>": the desktop theme's icon for a
// file type, drawn while a thumbnail is on its way or when there is none.
class FileIconProvider : public QQuickImageProvider {
  public:
    FileIconProvider();
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;
};

// Registers both providers with an engine that shows the file views.
void installFileImageProviders(QQmlEngine& engine);

}  // namespace skiff::ui
