#pragma once

#include <QBuffer>
#include <QImage>

#include <string>

#include "support/raw_client.hpp"
#include "support/upload_client.hpp"
#include "support/window_harness.hpp"

namespace skiff::test {

inline const std::string kIphone =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X) AppleWebKit/605.1.15 Mobile/15E148";
inline const std::string kAndroid =
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 Chrome/120.0 Mobile Safari/537.36";

// A phone over loopback, let in through the model as the approval card does.
class PhoneSession {
  public:
    explicit PhoneSession(WindowHarness& harness, std::string userAgent = kIphone)
        : m_harness(harness), m_userAgent(std::move(userAgent)) {}

    std::uint16_t port() const { return static_cast<std::uint16_t>(m_harness.model().port()); }
    std::string code() const { return m_harness.model().pin().toStdString(); }
    std::string agent() const { return "User-Agent: " + m_userAgent + "\r\n"; }
    UploadClient uploader() const { return UploadClient(port(), code(), m_userAgent); }
    Reply files() { return get(port(), "/api/files?t=" + code(), agent()); }

    // Asks, waits for the approval request and allows it; true once the phone is in.
    bool connect() {
        if (files().status == 200) return true;
        auto& model = m_harness.model();
        if (!WindowHarness::waitFor([&] { return !model.pending().empty(); })) return false;
        model.answer(model.pending().front().id, true);
        return files().status == 200 &&
               WindowHarness::waitFor([&] { return !model.devices().empty(); });
    }

    // Uploads one file and waits until the model lists it; `extraQuery` adds init parameters.
    bool send(const std::string& name, const std::string& content,
              const std::string& extraQuery = "") {
        std::size_t before = m_harness.model().received().size();
        Reply done = uploader().sendFile("phoneupload" + std::to_string(++m_uploads), name, content,
                                         4194304, extraQuery);
        return done.status == 200 &&
               WindowHarness::waitFor([&] { return m_harness.model().received().size() > before; });
    }
    QString newest() const { return m_harness.model().receivedEntries().front().id; }

    int sendText(const std::string& text) {
        return request(port(), "POST /api/text?t=" + code() + " HTTP/1.1\r\n" + agent() +
                                   "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" +
                                   text)
            .status;
    }

  private:
    WindowHarness& m_harness;
    std::string m_userAgent;
    int m_uploads = 0;
};

// A picture file's bytes, one colour, in the given format.
inline std::string pictureBytes(QColor colour, const char* format = "PNG",
                                QSize size = {320, 320}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

}  // namespace skiff::test
