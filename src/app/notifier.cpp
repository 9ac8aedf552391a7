#include "app/notifier.hpp"

#include <QPointer>

#include <algorithm>
#include <system_error>

namespace skiff::app {

Notifier::Notifier(Timing timing, std::unique_ptr<NotificationService> service, NotifierHooks hooks,
                   QObject* parent)
    : QObject(parent),
      m_timing(std::move(timing)),
      m_service(std::move(service)),
      m_hooks(std::move(hooks)) {
    QPointer<Notifier> self(this);
    m_service->onAction = [self](std::uint32_t id, const QString& action) {
        if (self) self->respond(id, action);
    };
    m_service->onClosed = [self](std::uint32_t id) {
        if (!self) return;
        auto& posted = self->m_posted;
        posted.erase(std::remove_if(posted.begin(), posted.end(),
                                    [id](const auto& entry) { return entry.first == id; }),
                     posted.end());
    };
}

Notifier::~Notifier() {
    m_service->onAction = nullptr;
    m_service->onClosed = nullptr;
}

void Notifier::add(const std::filesystem::path& file, const QString& device) {
    m_batch.push_back(file);
    m_device = device;
    auto generation = ++m_generation;
    QPointer<Notifier> self(this);
    m_timing.after(kGroupDelayMs, [self, generation] {
        if (self && self->m_generation == generation) self->flush();
    });
}

Notification Notifier::messageFor(const std::vector<std::filesystem::path>& files,
                                  const QString& device) {
    Notification message;
    message.title = files.size() == 1
                        ? "Đã nhận \"" + QString::fromStdString(files[0].filename().string()) + "\""
                        : "Đã nhận " + QString::number(files.size()) + " file";
    message.body = "Từ " + device + " · SHA-256 khớp. Bấm để xem thử, hoặc mở thư mục.";
    message.actions = {{"default", "Xem thử"}, {"preview", "Xem thử"}, {"reveal", "Mở thư mục"}};
    return message;
}

Notification Notifier::messageForText(const QString& text, const QString& device) {
    constexpr int shownCharacters = 200;
    QString line;
    for (const QString& piece : text.split('\n')) {
        line = piece.trimmed();
        if (!line.isEmpty()) break;
    }
    if (line.size() > shownCharacters) {
        int cut = shownCharacters;
        if (line[cut - 1].isHighSurrogate()) --cut;  // never half a character
        line = line.left(cut) + "…";
    }
    return {"Đã nhận chữ từ " + device, line, {{"default", "Xem"}}};
}

void Notifier::addText(const QString& text, const QString& device) {
    if (m_hooks.isActive && m_hooks.isActive()) return;
    // A click only brings the window forward, where the text's card is.
    post(messageForText(text, device), {});
}

void Notifier::flush() {
    auto files = std::exchange(m_batch, {});
    // Someone looking at the window sees the files there already.
    if (files.empty() || (m_hooks.isActive && m_hooks.isActive())) return;
    Notification message = messageFor(files, m_device);
    post(message, std::move(files));
}

void Notifier::post(const Notification& message, std::vector<std::filesystem::path> files) {
    if (!m_service->available()) return;
    QPointer<Notifier> self(this);
    m_service->post(message, [self, files = std::move(files)](std::uint32_t id) {
        if (!self || id == 0) return;
        self->m_posted.emplace_back(id, files);
        if (self->m_posted.size() > kRemembered) self->m_posted.erase(self->m_posted.begin());
    });
}

void Notifier::respond(std::uint32_t id, const QString& action) {
    auto found = std::find_if(m_posted.begin(), m_posted.end(),
                              [id](const auto& entry) { return entry.first == id; });
    // Another program's message, or one from before this run.
    if (found == m_posted.end()) return;
    auto files = found->second;
    if (m_hooks.activate) m_hooks.activate();
    if (action == "reveal") {
        std::error_code error;
        if (!files.empty() && std::filesystem::exists(files.front(), error) && m_hooks.reveal)
            m_hooks.reveal(files.front());
        return;
    }
    if (m_hooks.preview && !files.empty()) m_hooks.preview(files, files.front());
}

}  // namespace skiff::app
