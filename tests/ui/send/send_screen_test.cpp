// The send tab on a virtual display with the real model and server; a phone over loopback
// lists what the computer shares.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "support/phone_session.hpp"
#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

const char* kScene = R"(
import QtQuick
import Skiff.Model
import Skiff.Send
Window {
    width: 960; height: 640
    TabSeg { x: 300; y: 6; tab: "send" }
    SendScreen { y: 44; width: parent.width; height: parent.height - 44 }
}
)";

class SendTab : public testing::Test {
  protected:
    WindowHarness harness;
    PhoneSession phone{harness, kAndroid};
    QQuickWindow* window = nullptr;

    void SetUp() override {
        window = harness.open(kScene);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(phone.connect());
    }

    // The text of the visible item called `name`, or of its part called `part`.
    std::string text(const QString& name, const QString& part = {}) {
        QQuickItem* item = nullptr;
        harness.waitFor([&] { return (item = visibleItem(window, name)) != nullptr; }, 1000);
        return textOf(part.isEmpty() || !item ? item : childNamed(item, part)).toStdString();
    }

    std::vector<std::string> phoneTexts() {
        std::vector<std::string> texts;
        nlohmann::json listing = json(phone.files());
        for (const auto& t : listing["texts"]) texts.push_back(t["text"]);
        return texts;
    }

    // Clicks right after the window appears may come before it takes input: click until heard.
    bool clickUntil(const QString& name, const std::function<bool()>& done) {
        return harness.waitFor([&] {
            click(window, visibleItem(window, name));
            return done();
        });
    }
};

TEST_F(SendTab, StopAllReturnsToTheEmptyStateAndThePhoneListEmpties) {
    std::ofstream(harness.root() / "one.txt") << "ten bytes.";
    harness.model().share({harness.root() / "one.txt"});
    ASSERT_EQ(json(phone.files())["files"].size(), 1u);
    ASSERT_TRUE(clickUntil("stopAll", [&] { return visibleItem(window, "sendEmpty"); }));
    EXPECT_EQ(visibleItem(window, "sendSharing"), nullptr);
    EXPECT_TRUE(json(phone.files())["files"].empty());
    EXPECT_EQ(text("deviceLine"),
              harness.model().devices().front().label.toStdString() + " đang kết nối · cùng Wi‑Fi");
}

TEST_F(SendTab, TextsFromTheFieldAndTheClipboardReachThePhoneUntilUnshared) {
    auto shared = [&] { return harness.model().sharedTexts().size(); };
    ASSERT_NE(visibleItem(window, "textField"), nullptr);
    visibleItem(window, "textField")->setProperty("text", "<b>mã</b> 42");
    ASSERT_TRUE(clickUntil("sendText", [&] { return shared() == 1; }));
    EXPECT_EQ(text("textField"), "");
    QGuiApplication::clipboard()->setText("https://example.com/x");
    ASSERT_TRUE(clickUntil("sendClipboard", [&] { return shared() == 2; }));
    EXPECT_EQ(phoneTexts(), (std::vector<std::string>{"https://example.com/x", "<b>mã</b> 42"}));

    QGuiApplication::clipboard()->setText(QString(65537, 'a'));
    click(window, visibleItem(window, "sendClipboard"));
    EXPECT_EQ(text("textProblem"), "Chữ dài quá 64 KB — hãy gửi dưới dạng file");
    ASSERT_TRUE(clickUntil("unshareText", [&] { return shared() == 1; }));
    EXPECT_EQ(phoneTexts(), std::vector<std::string>{harness.model().sharedTexts().front().text});
}

}  // namespace
}  // namespace skiff::test
