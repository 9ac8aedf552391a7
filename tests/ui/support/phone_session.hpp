#pragma once

#include <QBuffer>
#include <QImage>

#include <string>

#include "support/raw_client.hpp"
#include "support/upload_client.hpp"
#include "support/window_harness.hpp"

namespace skiff::test {

// A phone over loopback as the window tests need it: approved once by the person at the
// computer (through the model, as the approval card does), then sending and listing files.
class PhoneSession {
  public:
    PhoneSession(WindowHarness& harness, std::string userAgent)
        : m_harness(harness), m_userAgent(std::move(userAgent)) {}

    std::uint16_t port() const { return m_harness.server().port(); }

    Reply files() {
        return get(port(), "/api/files?t=012345", "User-Agent: " + m_userAgent + "\r\n");
    }

    // Asks, waits for the approval request and allows it; true once the phone is in.
    bool connect() {
        if (files().status == 200) return true;
        auto& model = m_harness.model();
        if (!WindowHarness::waitFor([&] { return !model.pending().empty(); })) return false;
        model.answer(model.pending().front().id, true);
        WindowHarness::pump(20);
        return files().status == 200;
    }

    // Uploads one file and waits until the model lists it. `extraQuery` adds init parameters,
    // such as the place of a file in a folder.
    bool send(const std::string& name, const std::string& content,
              const std::string& extraQuery = "") {
        auto& model = m_harness.model();
        std::size_t before = model.received().size();
        UploadClient client(port(), "012345", m_userAgent);
        Reply done = client.sendFile("phoneupload" + std::to_string(++m_uploads), name, content,
                                     4194304, extraQuery);
        if (done.status != 200) return false;
        return WindowHarness::waitFor([&] { return model.received().size() > before; });
    }

    // Downloads bytes [0, length) of a shared file, as a phone that stopped half-way.
    Reply downloadStart(const std::string& fileId, std::int64_t length) {
        return get(port(), "/api/dl/" + fileId + "?t=012345",
                   "User-Agent: " + m_userAgent + "\r\nRange: bytes=0-" +
                       std::to_string(length - 1) + "\r\n");
    }

  private:
    WindowHarness& m_harness;
    std::string m_userAgent;
    int m_uploads = 0;
};

// A picture file's bytes in the given format ("PNG", "JPG").
inline std::string pictureBytes(QColor colour, const char* format, int side = 320) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    for (int y = 0; y < side; y += 16)
        for (int x = 0; x < side; ++x) image.setPixelColor(x, y, colour.darker(150));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

}  // namespace skiff::test
