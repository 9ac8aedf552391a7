#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/timing.hpp"

namespace skiff::app {

// One message for the desktop's notification service.
struct Notification {
    QString title;
    QString body;
    // Action keys with their button titles; "default" is a click on the message itself.
    std::vector<std::pair<QString, QString>> actions;
};

// The desktop's notification service, seen from the notifier.
class NotificationService {
  public:
    using Posted = std::function<void(std::uint32_t id)>;  // 0 when posting failed
    virtual ~NotificationService() = default;
    // Whether a service is there to show anything at all.
    virtual bool available() = 0;
    virtual void post(const Notification& notification, Posted posted) = 0;

    // Set by the notifier: the person chose an action, or the message went away.
    std::function<void(std::uint32_t id, const QString& action)> onAction;
    std::function<void(std::uint32_t id)> onClosed;
};

// What the notifier does to the rest of the program.
struct NotifierHooks {
    // The window is in front; received files are then not announced.
    std::function<bool()> isActive;
    // Brings the window forward before acting on a click.
    std::function<void()> activate;
    std::function<bool(const std::vector<std::filesystem::path>& files,
                       const std::filesystem::path& start)>
        preview;
    // Shows the file selected in the file manager.
    std::function<void(const std::filesystem::path& file)> reveal;
};

// Gathers received files into one message per burst, posted while the window is in the
// background, and answers clicks on it: preview the files or reveal the first.
class Notifier : public QObject {
    Q_OBJECT
  public:
    // Files arriving less than this apart share one message.
    static constexpr int kGroupDelayMs = 1500;
    // Messages whose clicks are still answered; older ones are forgotten.
    static constexpr std::size_t kRemembered = 64;

    Notifier(Timing timing, std::unique_ptr<NotificationService> service, NotifierHooks hooks,
             QObject* parent = nullptr);
    ~Notifier() override;

    // A file finished arriving from `device`.
    void add(const std::filesystem::path& file, const QString& device);
    // A text arrived from `device`: a message of its own with its first line, at once.
    void addText(const QString& text, const QString& device);

    const std::vector<std::filesystem::path>& batch() const { return m_batch; }

    static Notification messageFor(const std::vector<std::filesystem::path>& files,
                                   const QString& device);
    static Notification messageForText(const QString& text, const QString& device);

  private:
    void flush();
    void post(const Notification& message, std::vector<std::filesystem::path> files);
    void respond(std::uint32_t id, const QString& action);

    Timing m_timing;
    std::unique_ptr<NotificationService> m_service;
    NotifierHooks m_hooks;
    std::vector<std::filesystem::path> m_batch;
    QString m_device;
    std::uint64_t m_generation = 0;  // a flush runs only for the latest file added
    // The files of each message on show, by the id the service gave it, oldest first.
    std::vector<std::pair<std::uint32_t, std::vector<std::filesystem::path>>> m_posted;
};

}  // namespace skiff::app
