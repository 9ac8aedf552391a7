#pragma once

#include <QQuickAsyncImageProvider>

namespace skiff::ui {

// "image://preview/<percent-encoded path>": a picture at the size asked for. Qt's own readers
// go first; formats they lack (HEIC, AVIF, ...) come from the thumbnail store.
class PreviewImageProvider : public QQuickAsyncImageProvider {
  public:
    QQuickImageResponse* requestImageResponse(const QString& id,
                                              const QSize& requestedSize) override;
};

}  // namespace skiff::ui
