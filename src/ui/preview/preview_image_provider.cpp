#include "ui/preview/preview_image_provider.hpp"

#include <QImageReader>
#include <QRunnable>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>
#include <mutex>

#include "media/thumb_store.hpp"
#include "ui/common/bitmap_image.hpp"

namespace skiff::ui {

namespace {

class Response : public QQuickImageResponse {
  public:
    Response(QString path, QSize requested) : m_path(std::move(path)), m_requested(requested) {
        QThreadPool::globalInstance()->start([this] { read(); });
    }

    QQuickTextureFactory* textureFactory() const override {
        std::lock_guard lock(m_mutex);
        return QQuickTextureFactory::textureFactoryForImage(m_image);
    }
    QString errorString() const override { return m_error; }

  private:
    void read() {
        QImageReader reader(m_path);
        reader.setAutoTransform(true);
        if (reader.canRead()) {
            QSize size = reader.size();
            if (size.isValid() && m_requested.isValid() &&
                (size.width() > m_requested.width() || size.height() > m_requested.height()))
                reader.setScaledSize(size.scaled(m_requested, Qt::KeepAspectRatio));
            QImage image = reader.read();
            if (!image.isNull()) return finish(std::move(image));
        }
        int side =
            m_requested.isValid() ? std::max(m_requested.width(), m_requested.height()) : 2048;
        media::ThumbStore::shared().bitmap(m_path.toStdString(), side,
                                           [this](media::ThumbStore::BitmapPtr bitmap) {
                                               if (bitmap && bitmap->width > 0)
                                                   return finish(imageOf(*bitmap));
                                               m_error = "cannot draw this picture";
                                               emit finished();
                                           });
    }

    void finish(QImage image) {
        {
            std::lock_guard lock(m_mutex);
            m_image = std::move(image);
        }
        emit finished();
    }

    QString m_path;
    QSize m_requested;
    mutable std::mutex m_mutex;
    QImage m_image;
    QString m_error;
};

}  // namespace

QQuickImageResponse* PreviewImageProvider::requestImageResponse(const QString& id,
                                                                const QSize& requestedSize) {
    return new Response(QUrl::fromPercentEncoding(id.toUtf8()), requestedSize);
}

}  // namespace skiff::ui
