#include "ui/browser/thumb_provider.hpp"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QQmlEngine>

#include <atomic>
#include <filesystem>
#include <vector>

#include "media/file_kinds.hpp"
#include "media/thumb_store.hpp"
#include "ui/common/bitmap_image.hpp"

namespace skiff::ui {

namespace {

// How many thumbnails may be with the store at once: as many as it generates in parallel, so
// nothing waits there that could still be withdrawn here.
constexpr int kInFlight = 2;

}  // namespace

// One request as the queue and the store see it. The engine owns the response and may delete
// it once it has finished, so late answers reach it only through here.
struct ThumbRequest {
    std::filesystem::path path;
    int side = 0;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    ThumbResponse* response = nullptr;  // cleared when the response goes away

    void deliver(QImage image);
};

class ThumbResponse : public QQuickImageResponse {
  public:
    explicit ThumbResponse(std::shared_ptr<ThumbRequest> request) : m_request(std::move(request)) {
        m_request->response = this;
    }
    ~ThumbResponse() override {
        std::lock_guard lock(m_request->mutex);
        m_request->response = nullptr;
    }

    QQuickTextureFactory* textureFactory() const override {
        return QQuickTextureFactory::textureFactoryForImage(m_image);
    }
    QString errorString() const override { return m_error; }
    void cancel() override { m_request->cancelled = true; }

    void finish(QImage image) {
        m_image = std::move(image);
        if (m_image.isNull()) m_error = "no thumbnail";
        emit finished();
    }

  private:
    std::shared_ptr<ThumbRequest> m_request;
    QImage m_image;
    QString m_error;
};

void ThumbRequest::deliver(QImage image) {
    std::lock_guard lock(mutex);
    // Always through the response's own event loop: answers may come while the engine is
    // still inside requestImageResponse() and has not yet listened for them.
    if (response)
        QMetaObject::invokeMethod(
            response,
            [target = response, image = std::move(image)]() mutable {
                target->finish(std::move(image));
            },
            Qt::QueuedConnection);
    response = nullptr;  // answered once
}

// Requests waiting for a free generation slot, oldest first.
struct ThumbProvider::Queue : std::enable_shared_from_this<Queue> {
    std::mutex mutex;
    std::deque<std::shared_ptr<ThumbRequest>> waiting;
    int inFlight = 0;

    void add(std::shared_ptr<ThumbRequest> request) {
        {
            std::lock_guard lock(mutex);
            waiting.push_back(std::move(request));
        }
        pump();
    }

    // Hands waiting requests to the store while slots are free; withdrawn ones finish empty
    // without touching the disk.
    void pump() {
        for (;;) {
            std::shared_ptr<ThumbRequest> next;
            std::vector<std::shared_ptr<ThumbRequest>> dropped;
            {
                std::lock_guard lock(mutex);
                while (!waiting.empty() && waiting.front()->cancelled) {
                    dropped.push_back(std::move(waiting.front()));
                    waiting.pop_front();
                }
                if (!waiting.empty() && inFlight < kInFlight) {
                    next = std::move(waiting.front());
                    waiting.pop_front();
                    ++inFlight;
                }
            }
            for (auto& request : dropped) request->deliver({});
            if (!next) return;
            std::weak_ptr<Queue> weak = weak_from_this();
            // The store answers at once from its cache, or later from a worker or the main
            // thread; either way the slot is given back and the next request goes out.
            media::ThumbStore::shared().image(next->path, next->side,
                                              [weak, next](media::ThumbStore::BitmapPtr made) {
                                                  next->deliver(made ? imageOf(*made) : QImage());
                                                  if (auto queue = weak.lock()) {
                                                      {
                                                          std::lock_guard lock(queue->mutex);
                                                          --queue->inFlight;
                                                      }
                                                      queue->pump();
                                                  }
                                              });
        }
    }
};

ThumbProvider::ThumbProvider() : m_queue(std::make_shared<Queue>()) {}

ThumbProvider::~ThumbProvider() {
    // Requests still waiting belong to the engine, which waits for their answers.
    std::deque<std::shared_ptr<ThumbRequest>> waiting;
    {
        std::lock_guard lock(m_queue->mutex);
        waiting.swap(m_queue->waiting);
    }
    for (auto& request : waiting) request->deliver({});
}

QQuickImageResponse* ThumbProvider::requestImageResponse(const QString& id, const QSize&) {
    int slash = id.indexOf('/');
    int side = id.left(slash).toInt();
    QByteArray path =
        QByteArray::fromBase64(id.mid(slash + 1).toLatin1(), QByteArray::Base64UrlEncoding);
    auto request = std::make_shared<ThumbRequest>();
    request->path = std::filesystem::path(QString::fromUtf8(path).toStdString());
    request->side = side;
    auto* response = new ThumbResponse(request);
    if (slash <= 0 || path.isEmpty() || !media::canThumb(request->path)) {
        // The store never answers for kinds it cannot draw (a bad side it answers empty).
        request->deliver({});
        return response;
    }
    m_queue->add(std::move(request));
    return response;
}

FileIconProvider::FileIconProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}

QPixmap FileIconProvider::requestPixmap(const QString& id, QSize* size,
                                        const QSize& requestedSize) {
    QSize wanted = requestedSize.isValid() ? requestedSize : QSize(64, 64);
    QPixmap pixmap;
    for (const QString& name : id.split('/', Qt::SkipEmptyParts)) {
        if (!pixmap.isNull()) break;
        QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull()) pixmap = icon.pixmap(wanted);
    }
    if (pixmap.isNull()) pixmap = QIcon::fromTheme("text-x-generic").pixmap(wanted);
    if (pixmap.isNull()) {
        // Without an icon theme: a plain sheet of paper with a folded corner.
        pixmap = QPixmap(wanted);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        qreal w = wanted.width(), h = wanted.height();
        QPolygonF sheet({{w * 0.2, h * 0.08},
                         {w * 0.62, h * 0.08},
                         {w * 0.8, h * 0.26},
                         {w * 0.8, h * 0.92},
                         {w * 0.2, h * 0.92}});
        painter.setPen(QPen(QColor(140, 140, 150), std::max(1.0, w / 40)));
        painter.setBrush(QColor(245, 245, 248));
        painter.drawPolygon(sheet);
    }
    if (size) *size = pixmap.size();
    return pixmap;
}

void installFileImageProviders(QQmlEngine& engine) {
    if (!engine.imageProvider("thumb")) engine.addImageProvider("thumb", new ThumbProvider);
    if (!engine.imageProvider("filetype"))
        engine.addImageProvider("filetype", new FileIconProvider);
}

}  // namespace skiff::ui
