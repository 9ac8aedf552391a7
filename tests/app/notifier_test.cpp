#include "app/notifier.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "support/fake_time.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

// Records what would reach the desktop's service; the window tests run the real one.
struct RecordingService : NotificationService {
    bool up = true;
    std::vector<Notification> posted;
    bool available() override { return up; }
    void post(const Notification& notification, Posted done) override {
        posted.push_back(notification);
        done(static_cast<std::uint32_t>(posted.size() + 100));
    }
};

struct NotifierFixture : ::testing::Test {
    test::FakeTime time;
    bool active = false;
    int activated = 0;
    std::vector<std::pair<std::vector<fs::path>, fs::path>> previews;
    std::vector<fs::path> reveals;
    RecordingService* service = nullptr;
    std::unique_ptr<Notifier> notifier;
    test::TempDir dir;

    void SetUp() override {
        auto owned = std::make_unique<RecordingService>();
        service = owned.get();
        NotifierHooks hooks;
        hooks.isActive = [this] { return active; };
        hooks.activate = [this] { ++activated; };
        hooks.preview = [this](const std::vector<fs::path>& files, const fs::path& start) {
            previews.emplace_back(files, start);
            return true;
        };
        hooks.reveal = [this](const fs::path& file) { reveals.push_back(file); };
        notifier = std::make_unique<Notifier>(time.timing(), std::move(owned), hooks);
    }

    fs::path add(const std::string& name, const QString& device = "P", int wait = 1500) {
        auto path = dir.path() / name;
        std::ofstream(path) << name;
        notifier->add(path, device);
        time.advance(wait);
        return path;
    }
    QString lastTitle() { return service->posted.empty() ? "" : service->posted.back().title; }
};

TEST_F(NotifierFixture, FilesLessThanTheDelayApartShareOneMessageAfterTheLast) {
    add("a.jpg", "iPhone của An", 500);
    add("b.jpg", "iPhone của An", 500);
    add("c.mov", "Pixel 8", 1499);
    EXPECT_TRUE(service->posted.empty());
    time.advance(1);
    ASSERT_EQ(service->posted.size(), 1u);
    EXPECT_EQ(lastTitle(), "Đã nhận 3 file");
    EXPECT_EQ(service->posted[0].body,
              "Từ Pixel 8 · SHA-256 khớp. Bấm để xem thử, hoặc mở thư mục.");
    EXPECT_TRUE(notifier->batch().empty());
    add("<i>x & y.txt");  // a gap of the full delay starts a new message; names are plain text
    EXPECT_EQ(lastTitle(), "Đã nhận \"<i>x & y.txt\"");
}

// A batch that ends while the window is active, or while no service runs, is dropped.
TEST_F(NotifierFixture, NothingIsPostedWhileActiveOrWithoutAServiceNorLater) {
    active = true;
    add("a.jpg");
    active = false;
    time.advance(5000);
    EXPECT_TRUE(notifier->batch().empty());
    service->up = false;
    add("b.jpg");
    service->up = true;
    add("c.jpg");
    ASSERT_EQ(service->posted.size(), 1u);
    EXPECT_EQ(lastTitle(), "Đã nhận \"c.jpg\"");

    // A text is announced at once, by its first line, and only in the background.
    notifier->addText("\n  \n  Mã <b>42</b>  \nthứ hai", "P");
    active = true;
    notifier->addText("không báo", "P");
    ASSERT_EQ(service->posted.size(), 2u);
    EXPECT_EQ(lastTitle(), "Đã nhận chữ từ P");
    EXPECT_EQ(service->posted[1].body, "Mã <b>42</b>");
}

TEST_F(NotifierFixture, ClicksPreviewFromTheFirstAndRevealShowsOnlyTheFirst) {
    auto a = add("a.jpg", "P", 0), b = add("b.jpg", "P", 0), c = add("c.jpg");
    for (const char* action : {"default", "preview"}) service->onAction(101, action);
    ASSERT_EQ(previews.size(), 2u);
    EXPECT_EQ(previews[0], previews[1]);
    EXPECT_EQ(previews[0], std::pair(std::vector<fs::path>{a, b, c}, a));
    EXPECT_EQ(activated, 2);
    service->onAction(101, "reveal");
    EXPECT_EQ(reveals, std::vector<fs::path>{a});
    EXPECT_EQ(previews.size(), 2u);

    // Gone files: reveal does nothing; preview still goes to the previewer, which filters.
    fs::remove(a);
    service->onAction(101, "reveal");
    EXPECT_EQ(reveals.size(), 1u);
    service->onAction(101, "preview");
    EXPECT_EQ(previews.size(), 3u);
}

}  // namespace
}  // namespace skiff::app
