#include "app/notifier.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "support/fake_time.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

// Records what would reach the desktop's service; the real service is exercised by the window
// tests against a notification daemon.
struct RecordingService : NotificationService {
    bool up = true;
    std::vector<Notification> posted;
    bool available() override { return up; }
    void post(const Notification& notification, Posted done) override {
        posted.push_back(notification);
        done(static_cast<std::uint32_t>(posted.size() + 100));
    }
};

struct Clicks {
    int activated = 0;
    std::vector<std::pair<std::vector<fs::path>, fs::path>> previews;
    std::vector<fs::path> reveals;
};

struct NotifierFixture : ::testing::Test {
    test::FakeTime time;
    bool active = false;
    Clicks clicks;
    RecordingService* service = nullptr;
    std::unique_ptr<Notifier> notifier;
    test::TempDir dir;

    void SetUp() override {
        auto owned = std::make_unique<RecordingService>();
        service = owned.get();
        NotifierHooks hooks;
        hooks.isActive = [this] { return active; };
        hooks.activate = [this] { ++clicks.activated; };
        hooks.preview = [this](const std::vector<fs::path>& files, const fs::path& start) {
            clicks.previews.emplace_back(files, start);
            return true;
        };
        hooks.reveal = [this](const fs::path& file) { clicks.reveals.push_back(file); };
        notifier = std::make_unique<Notifier>(time.timing(), std::move(owned), hooks);
    }

    fs::path file(const std::string& name) {
        auto path = dir.path() / name;
        std::ofstream(path) << name;
        return path;
    }
};

TEST_F(NotifierFixture, FilesLessThanTheDelayApartShareOneMessageAfterTheLast) {
    notifier->add(file("a.jpg"), "iPhone của An");
    time.advance(500);
    notifier->add(file("b.jpg"), "iPhone của An");
    time.advance(500);
    notifier->add(file("c.mov"), "Pixel 8");
    time.advance(1499);
    EXPECT_TRUE(service->posted.empty());
    time.advance(1);
    ASSERT_EQ(service->posted.size(), 1u);
    EXPECT_EQ(service->posted[0].title, "Đã nhận 3 file");
    EXPECT_EQ(service->posted[0].body,
              "Từ Pixel 8 · SHA-256 khớp. Bấm để xem thử, hoặc mở thư mục.");
    EXPECT_TRUE(notifier->batch().empty());

    // A gap of the full delay starts a new message.
    notifier->add(file("d.pdf"), "Pixel 8");
    time.advance(1500);
    ASSERT_EQ(service->posted.size(), 2u);
    EXPECT_EQ(service->posted[1].title, "Đã nhận \"d.pdf\"");
}

// Names go in as they are: the title is plain text, never markup.
TEST_F(NotifierFixture, TitleQuotesTheNameOfASingleFile) {
    for (std::string name : {"ảnh.heic", "<i>x & y.txt", "noext"})
        EXPECT_EQ(Notifier::messageFor({fs::path("/in") / name}, "P").title.toStdString(),
                  "Đã nhận \"" + name + "\"");
}

// A batch that ends while the window is active, or while no service runs, is dropped.
TEST_F(NotifierFixture, NothingIsPostedWhileActiveOrWithoutAServiceNorLater) {
    active = true;
    notifier->add(file("a.jpg"), "P");
    time.advance(1500);
    active = false;
    time.advance(5000);
    EXPECT_TRUE(notifier->batch().empty());
    service->up = false;
    notifier->add(file("b.jpg"), "P");
    time.advance(1500);
    service->up = true;
    notifier->add(file("c.jpg"), "P");
    time.advance(1500);
    ASSERT_EQ(service->posted.size(), 1u);
    EXPECT_EQ(service->posted[0].title, "Đã nhận \"c.jpg\"");
}

TEST_F(NotifierFixture, ATextIsAnnouncedAtOnceByItsFirstLineOnlyInTheBackground) {
    notifier->addText("\n  \n  Mã <b>42</b>  \nthứ hai", "P");
    active = true;
    notifier->addText("không báo", "P");
    ASSERT_EQ(service->posted.size(), 1u);
    EXPECT_EQ(service->posted[0].title, "Đã nhận chữ từ P");
    EXPECT_EQ(service->posted[0].body, "Mã <b>42</b>");
}

TEST_F(NotifierFixture, ClicksPreviewFromTheFirstAndRevealShowsOnlyTheFirst) {
    auto a = file("a.jpg"), b = file("b.jpg"), c = file("c.jpg");
    for (const auto& f : {a, b, c}) notifier->add(f, "P");
    time.advance(1500);
    const std::uint32_t id = 101;

    for (const char* action : {"default", "preview"}) {
        SCOPED_TRACE(action);
        clicks = {};
        service->onAction(id, action);
        ASSERT_EQ(clicks.previews.size(), 1u);
        EXPECT_EQ(clicks.previews[0].first, (std::vector<fs::path>{a, b, c}));
        EXPECT_EQ(clicks.previews[0].second, a);
        EXPECT_EQ(clicks.activated, 1);
    }

    clicks = {};
    service->onAction(id, "reveal");
    EXPECT_EQ(clicks.reveals, std::vector<fs::path>{a});
    EXPECT_TRUE(clicks.previews.empty());

    // Gone files: reveal does nothing; preview still goes to the previewer, which filters.
    fs::remove(a);
    clicks = {};
    service->onAction(id, "reveal");
    EXPECT_TRUE(clicks.reveals.empty());
    service->onAction(id, "preview");
    EXPECT_EQ(clicks.previews.size(), 1u);
}

// Clicks on someone else's, a closed or a forgotten message do nothing.
TEST_F(NotifierFixture, ClicksOnlyCountOnRecentOpenMessages) {
    for (std::size_t i = 0; i < Notifier::kRemembered + 1; ++i) {
        notifier->add(file("f" + std::to_string(i)), "P");
        time.advance(1500);
    }
    service->onAction(999, "default");
    service->onAction(101, "default");
    service->onClosed(102);
    service->onAction(102, "default");
    EXPECT_TRUE(clicks.previews.empty());
    EXPECT_EQ(clicks.activated, 0);
    service->onAction(103, "default");
    EXPECT_EQ(clicks.previews.size(), 1u);
}

}  // namespace
}  // namespace skiff::app
