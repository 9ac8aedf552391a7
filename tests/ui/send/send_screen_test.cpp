// The send tab on a virtual display with the real model and server; a phone over loopback
// lists and downloads what the computer shares.
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
    width: 960
    height: 640
    TabSeg {
        objectName: "tabs"
        x: 300
        y: 6
        tab: "send"
    }
    SendScreen {
        objectName: "send"
        y: 44
        width: parent.width
        height: parent.height - 44
    }
}
)";

// The text of the one visible item called `name`.
std::string text(QQuickWindow* window, const QString& name) {
    return textOf(visibleItem(window, name)).toStdString();
}

void write(const std::filesystem::path& file, std::size_t size) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << std::string(size, 'x');
}

std::string childText(QQuickItem* parent, const QString& name) {
    return parent ? textOf(childNamed(parent, name)).toStdString() : "<no parent>";
}

class SendTab : public testing::Test {
  protected:
    WindowHarness harness;
    QQuickWindow* window = nullptr;

    void SetUp() override {
        window = harness.open(kScene);
        ASSERT_NE(window, nullptr);
    }

    void share(const std::vector<std::filesystem::path>& files) {
        harness.model().share(files);
        harness.pump(50);
    }
};

TEST_F(SendTab, AHalfWayDownloadOfOneOfTwoEqualFilesReads25Percent) {
    PhoneSession phone(harness, kAndroid);
    ASSERT_TRUE(phone.connect());
    write(harness.root() / "share" / "first.bin", 1 << 20);
    write(harness.root() / "share" / "second.bin", 1 << 20);
    share({harness.root() / "share" / "first.bin", harness.root() / "share" / "second.bin"});
    ASSERT_TRUE(harness.waitFor([&] { return visibleItem(window, "statusLine") != nullptr; }));
    std::string phoneName = harness.model().devices().front().label.toStdString();
    EXPECT_EQ(text(window, "statusLead"), phoneName + " mở Skiff → “Nhận từ máy tính” để tải về");

    Reply half = phone.downloadStart(harness.model().shared()[0].id, 1 << 19);
    ASSERT_EQ(half.status, 206);
    ASSERT_TRUE(harness.waitFor([&] { return text(window, "statusPercent") == "25%"; }))
        << text(window, "statusLine");
    ASSERT_TRUE(harness.model().sendDevice().has_value());
    EXPECT_EQ(text(window, "statusLead"),
              harness.model().sendDevice()->toStdString() + " đang tải về · ");
    EXPECT_EQ(childText(visibleItem(window, "share:first.bin"), "shareState"), "50%");
    EXPECT_EQ(childText(visibleItem(window, "share:second.bin"), "shareState"), "Đang chia sẻ");
}

TEST_F(SendTab, StopAllReturnsToTheEmptyStateAndThePhoneListEmpties) {
    PhoneSession phone(harness, kAndroid);
    ASSERT_TRUE(phone.connect());
    write(harness.root() / "share" / "one.txt", 10);
    share({harness.root() / "share" / "one.txt"});
    ASSERT_EQ(json(phone.files())["files"].size(), 1u);
    QQuickItem* stop = nullptr;
    ASSERT_TRUE(
        harness.waitFor([&] { return (stop = visibleItem(window, "stopAll")) != nullptr; }));
    EXPECT_EQ(text(window, "shareState"), "Đang chia sẻ");

    click(window, stop);
    EXPECT_TRUE(harness.waitFor([&] { return visibleItem(window, "sendEmpty") != nullptr; }));
    EXPECT_EQ(visibleItem(window, "sendSharing"), nullptr);
    EXPECT_TRUE(json(phone.files())["files"].empty());
    EXPECT_EQ(text(window, "deviceLine"),
              harness.model().devices().front().label.toStdString() + " đang kết nối · cùng Wi‑Fi");
}

TEST_F(SendTab, TextsFromTheFieldAndTheClipboardReachThePhoneUntilUnshared) {
    PhoneSession phone(harness, kAndroid);
    ASSERT_TRUE(phone.connect());
    auto phoneTexts = [&] {
        std::vector<std::string> texts;
        nlohmann::json listing = json(phone.files());
        for (const auto& t : listing["texts"]) texts.push_back(t["text"]);
        return texts;
    };
    // Clicks right after the window appears may come before it takes input: click until heard.
    auto clickUntil = [&](const QString& name, const std::function<bool()>& done) {
        return harness.waitFor([&] {
            click(window, visibleItem(window, name));
            return done();
        });
    };
    ASSERT_NE(visibleItem(window, "textField"), nullptr);
    visibleItem(window, "textField")->setProperty("text", "<b>mã</b> 42");
    ASSERT_TRUE(clickUntil("sendText", [&] { return !harness.model().sharedTexts().empty(); }));
    EXPECT_EQ(text(window, "textField"), "");
    QGuiApplication::clipboard()->setText("https://example.com/x");
    ASSERT_TRUE(
        clickUntil("sendClipboard", [&] { return harness.model().sharedTexts().size() == 2; }));
    EXPECT_EQ(phoneTexts(), (std::vector<std::string>{"https://example.com/x", "<b>mã</b> 42"}));
    harness.keepScreenshot("send-texts");

    QGuiApplication::clipboard()->setText(QString(65537, 'a'));
    click(window, visibleItem(window, "sendClipboard"));
    EXPECT_EQ(text(window, "textProblem"), "Chữ dài quá 64 KB — hãy gửi dưới dạng file");
    ASSERT_TRUE(
        clickUntil("unshareText", [&] { return harness.model().sharedTexts().size() == 1; }));
    EXPECT_EQ(phoneTexts(), std::vector<std::string>{harness.model().sharedTexts().front().text});
}

}  // namespace
}  // namespace skiff::test
