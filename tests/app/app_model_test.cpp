// The model's reactions to what the server reports, with a fake clock: nothing sleeps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSettings>

#include <fstream>

#include "app/app_model.hpp"
#include "app/port_memory.hpp"
#include "app/receive_folder.hpp"
#include "app/share_walk.hpp"
#include "server/main_loop.hpp"
#include "support/fake_time.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;
using State = server::Flow::State;

class Model : public ::testing::Test {
  protected:
    Model() {
        settings = std::make_unique<QSettings>(
            QString::fromStdString((dir.path() / "settings.ini").string()), QSettings::IniFormat);
        fileServer = server::FileServer::create(
            pool, dir.path() / "inbox", "123456",
            [this](std::function<void()> t) { loop.post(std::move(t)); });
        DesktopServices services;
        services.listInterfaces = [this] { return interfaces; };
        services.firewallState = [this] { return firewall; };
        services.prefetch = [this](const fs::path& p) { prefetched.push_back(p); };
        services.preview = [this](const std::vector<fs::path>& files, const fs::path& start,
                                  bool toggle) {
            previews.push_back({files, start, toggle});
            return previewShows;
        };
        model = std::make_unique<AppModel>(time.timing(), services, settings.get(), fileServer);
        callbacks = fileServer->callbacks();
    }

    void progress(const std::string& uid, std::int64_t received) {
        callbacks.onProgress(server::Incoming{uid, "a.jpg", "iPhone", received, 100 << 20});
    }
    void flow(State state, const std::string& uid, std::int64_t received) {
        callbacks.onFlow({"192.168.1.5", "iphone", "iPhone", uid, "f.bin", received, 1000, state});
    }
    void received(const fs::path& file, std::optional<std::string> warning = std::nullopt,
                  const std::string& folder = "") {
        callbacks.onReceived({file, 1, "x", "h", "iPhone", warning, folder});
    }
    void download(const std::string& id, const char* host, std::int64_t sent, std::int64_t size) {
        callbacks.onDownload({id, host, "iPhone", "iphone", sent, size, sent == size});
    }
    fs::path file(const std::string& name, std::size_t size = 1) {
        std::ofstream(dir.path() / name) << std::string(size, 'x');
        return dir.path() / name;
    }

    test::TempDir dir;
    server::MainLoop loop;
    server::IoPool pool{2};
    test::FakeTime time;
    std::unique_ptr<QSettings> settings;
    std::shared_ptr<server::FileServer> fileServer;
    std::vector<NetIface> interfaces;
    FirewallReading firewall;
    std::vector<fs::path> prefetched;
    struct Preview {
        std::vector<fs::path> files;
        fs::path start;
        bool toggle;
    };
    std::vector<Preview> previews;
    bool previewShows = true;
    std::unique_ptr<AppModel> model;
    server::ServerCallbacks callbacks;
};

TEST_F(Model, ABatchOfThreeFilesGivesOneBannerThatANewUploadHides) {
    for (int n = 0; n < 3; ++n) {
        if (n > 0) time.advance(200);  // the next file starts within a quarter second
        progress("u" + std::to_string(n), 1);
        time.advance(1000);
        received(dir.path() / "a.jpg");
        callbacks.onProgress(std::nullopt);
    }
    EXPECT_FALSE(model->justDone());
    time.advance(250);
    ASSERT_TRUE(model->justDone());
    EXPECT_EQ(std::tuple(model->justDone()->count, model->justDone()->device, model->speed()),
              std::tuple(3, "iPhone", 0.0));
    time.advance(2399);
    EXPECT_TRUE(model->justDone());
    time.advance(1);
    EXPECT_FALSE(model->justDone());

    progress("u9", 1);
    received(dir.path() / "b.jpg");
    callbacks.onProgress(std::nullopt);
    time.advance(300);
    ASSERT_TRUE(model->justDone());
    EXPECT_EQ(model->justDone()->count, 1);
    progress("u10", 1);
    EXPECT_FALSE(model->justDone());
}

TEST_F(Model, TransferCardsFinishAreRemovedAndRestartForANewBatch) {
    flow(State::progress, "u1", 500);
    flow(State::done, "u1", 1000);
    ASSERT_EQ(model->flows().size(), 1u);
    time.advance(499);
    EXPECT_FALSE(model->flows()[0].done);
    time.advance(1);
    EXPECT_TRUE(model->flows()[0].done);

    // A further file before the removal keeps the card and starts its count again.
    time.advance(1000);
    flow(State::progress, "u2", 10);
    EXPECT_EQ(std::pair(model->flows()[0].done, model->flows()[0].count), std::pair(false, 0));
    time.advance(5000);
    ASSERT_EQ(model->flows().size(), 1u);  // the old removal was for the older completion

    flow(State::done, "u2", 1000);
    time.advance(500 + 3499);
    EXPECT_EQ(model->flows().size(), 1u);
    time.advance(1);
    EXPECT_TRUE(model->flows().empty());

    flow(State::progress, "u3", 10);
    flow(State::cancel, "u3", 10);
    EXPECT_TRUE(model->flows().empty());
}

TEST_F(Model, DownloadsGiveSpeedProgressAndSummaryOverTwoPhones) {
    model->shareUrls({QUrl("https://example.invalid/x"),
                      QUrl::fromLocalFile(QString::fromStdString(file("a.bin", 300).string()))});
    model->share({file("b.bin", 100)});
    ASSERT_EQ(model->shared().size(), 2u);
    std::string a = model->shared()[0].id, b = model->shared()[1].id;
    EXPECT_FALSE(model->shareProgress(a));

    download(a, "192.168.1.5", 0, 300);
    time.advance(500);
    download(a, "192.168.1.5", 60, 300);
    EXPECT_NEAR(model->sendSpeed(), 120, 1);
    download(a, "192.168.1.6", 150, 300);
    EXPECT_NEAR(model->shareProgress(a)->fraction, 0.5, 1e-9);
    SendSummary summary = model->sendSummary();
    EXPECT_EQ(std::tuple(summary.fraction, summary.done, summary.active),
              std::tuple(150.0 / 400, false, true));
    time.advance(1599);
    EXPECT_GT(model->sendSpeed(), 0);
    time.advance(1);
    EXPECT_EQ(model->sendSpeed(), 0);
    EXPECT_TRUE(model->sendSummary().active) << "begun and unfinished, though still";

    download(a, "192.168.1.5", 300, 300);
    download(b, "192.168.1.6", 100, 100);
    summary = model->sendSummary();
    EXPECT_EQ(std::tuple(summary.fraction, summary.done, summary.active),
              std::tuple(1.0, true, false));
    download("gone", "192.168.1.5", 5, 10);  // no longer shared: ignored
    EXPECT_EQ(model->downloads().count("gone"), 0u);
    model->unshare(QString::fromStdString(b));
    EXPECT_EQ(std::pair(model->shared().size(), model->downloads().count(b)), std::pair(1ul, 0ul));
    model->unshareAll();
    EXPECT_TRUE(model->shared().empty() && model->downloads().empty());
}

// A host seen twice is one device, at the front; a new code forgets them all.
TEST_F(Model, DevicesAndNewCodeAndDenyAllAnswerWaitingPhones) {
    callbacks.onDevice("192.168.1.5", "iPhone", "iphone");
    callbacks.onDevice("192.168.1.6", "Máy Windows", "windows");
    time.advance(1000);
    callbacks.onDevice("192.168.1.5", "iPad", "ipad");
    ASSERT_EQ(model->devices().size(), 2u);
    EXPECT_EQ(std::pair(model->devices()[0].label, model->devices()[0].at),
              std::pair(QString("iPad"), time.now));
    fileServer->mutateTables(
        [](server::ServerTables& t) { t.approvals["192.168.1.9"] = server::Approval::pending; });
    std::vector<bool> answers;
    callbacks.askApproval("192.168.1.9", "iPhone", [&](bool allow) {
        answers.push_back(allow);
        fileServer->mutateTables([&](server::ServerTables& t) {
            t.approvals["192.168.1.9"] =
                allow ? server::Approval::allowed : server::Approval::denied;
        });
    });
    ASSERT_EQ(model->pending().size(), 1u);
    EXPECT_EQ(model->pending()[0].code.toStdString(), fileServer->pairCode("192.168.1.9"));
    QString oldPin = model->pin();
    model->newCode();
    EXPECT_NE(model->pin(), oldPin);
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_TRUE(model->pending().empty() && model->devices().empty());
    // The phone that was waiting can ask again under the new code.
    EXPECT_TRUE(fileServer->withTables([](auto& t) { return t.approvals.empty(); }));

    answers.clear();
    for (const char* host : {"192.168.1.7", "192.168.1.8"})
        callbacks.askApproval(host, "iPhone", [&](bool allow) { answers.push_back(allow); });
    ASSERT_EQ(model->pending().size(), 2u);
    model->denyAll();
    EXPECT_EQ(answers, (std::vector<bool>{false, false}));
    EXPECT_TRUE(model->pending().empty());
}

TEST_F(Model, SharingAFolderSortedHiddenSkippedLoopsNotFollowed) {
    fs::path root = dir.path() / "share";
    fs::create_directories(root / "sub");
    for (auto name : {"b.txt", "a.txt", ".hidden", "sub/c.txt", "B.txt"})
        std::ofstream(root / name) << "x";
    fs::create_directory_symlink(root, root / "sub" / "loop");
    fs::create_symlink(root / "a.txt", root / "link.txt");
    ASSERT_EQ(::mkfifo((root / "pipe").c_str(), 0600), 0);  // opening it would block a thread
    model->share({root, root / "a.txt"});                   // the same file twice is listed once
    std::vector<std::string> names;
    for (const auto& shared : model->shared()) names.push_back(shared.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B.txt", "a.txt", "b.txt", "link.txt", "c.txt"}));
    EXPECT_EQ(prefetched.size(), 6u);  // prefetched even when already shared
    EXPECT_TRUE(model->log().front().startsWith("Bỏ qua \"pipe\""));
}

TEST_F(Model, AddressAndFirewallFollowTheNetwork) {
    model->refresh();
    EXPECT_FALSE(model->address());
    interfaces = {{"wlan0", "192.168.1.20", "Wi-Fi", NetIface::Kind::wifi},
                  {"eth0", "10.0.0.5", "Mạng dây", NetIface::Kind::ethernet}};
    model->refresh();
    EXPECT_EQ(model->address(), "http://192.168.1.20:0/?t=123456");
    model->select("eth010.0.0.5");
    EXPECT_EQ(model->address(), "http://10.0.0.5:0/?t=123456") << "the network chosen";

    firewall = {true, Firewall::firewalld};
    model->start();
    ASSERT_TRUE(loop.runUntil([&] { return model->running(); }));
    std::string port = std::to_string(fileServer->port());
    EXPECT_EQ(
        model->firewallCommandText().toStdString(),
        "sudo firewall-cmd --add-port=" + port + "/tcp --permanent && sudo firewall-cmd --reload");
    EXPECT_EQ(fileServer->firewall(), "firewalld");
    EXPECT_EQ(storedPort(*settings), fileServer->port());
    firewall = {false, {}};
    model->retryNetwork();
    EXPECT_EQ(model->firewallCommandText() + QString::fromStdString(fileServer->firewall()), "");
}

// A text of up to 64 KiB is offered as it is, newest first, each text once, the newest 20 kept.
TEST_F(Model, SharedTextsAreBoundedAndKeptNewestFirst) {
    EXPECT_FALSE(model->shareText(" \n "));
    EXPECT_FALSE(model->shareText(QString(65537, 'a')));
    EXPECT_TRUE(model->shareText(QString(65536, 'a')));
    for (int i = 0; i < 21; ++i) EXPECT_TRUE(model->shareText(QString::number(i)));
    EXPECT_TRUE(model->shareText("3"));
    std::vector<std::string> texts;
    for (const server::SharedText& shared : model->sharedTexts()) texts.push_back(shared.text);
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(std::vector(texts.begin(), texts.begin() + 3),
              (std::vector<std::string>{"3", "20", "19"}));
    EXPECT_EQ(texts.back(), "1") << "the oldest go first";
}

TEST(ReceiveFolder, AStoredFolderWinsOverTheDefault) {
    test::TempDir dir;
    QSettings settings(QString::fromStdString((dir.path() / "s.ini").string()),
                       QSettings::IniFormat);
    EXPECT_EQ(loadSaveDir(settings), defaultReceiveFolder());
    storeSaveDir(settings, dir.path() / "in");
    EXPECT_EQ(loadSaveDir(settings), dir.path() / "in");
}

TEST_F(Model, FilesOfAFolderAreOneEntryWithCountSizeAnyWarningAndNoPreview) {
    const fs::path inbox = dir.path() / "inbox";
    EXPECT_FALSE(model->convertedNote());
    received(inbox / "a.jpg", "jpg");
    EXPECT_FALSE(model->convertedNote()->contains("MP4"));
    for (auto [path, size, folder] : {std::tuple{"Ảnh/2024/a.jpg", 10, "Ảnh/2024/"},
                                      {"loose.txt", 1, ""},
                                      {"Ảnh/b.jpg", 20, "Ảnh/"},
                                      {"Ảnh (2)/c.jpg", 5, "Ảnh (2)/"},
                                      {"Ảnh/2024/12/d.jpg", 30, "Ảnh/2024/12/"}})
        callbacks.onReceived({inbox / path, size, "x", "h", "iPhone", std::nullopt, folder});
    // A folder warns when any file in it may have been converted, not only its first.
    received(inbox / "Ảnh/e.mp4", "mp4", "Ảnh/");
    EXPECT_TRUE(model->convertedNote()->contains("MP4"));

    auto entries = model->receivedEntries();
    std::vector<std::tuple<QString, fs::path, int, std::int64_t, std::optional<QString>>> got;
    for (const auto& e : entries) got.emplace_back(e.name, e.url, e.files, e.size, e.warning);
    EXPECT_EQ(got, (decltype(got){{"Ảnh", inbox / "Ảnh", 4, 61, "mp4"},
                                  {"Ảnh (2)", inbox / "Ảnh (2)", 1, 5, std::nullopt},
                                  {"loose.txt", inbox / "loose.txt", 0, 1, std::nullopt},
                                  {"a.jpg", inbox / "a.jpg", 0, 1, "jpg"}}));
    // The folder keeps its id while files arrive, so a selection of it holds.
    received(inbox / "Ảnh/f.jpg", std::nullopt, "Ảnh/");
    EXPECT_EQ(std::pair(model->receivedEntries()[0].id, model->receivedEntries()[0].files),
              std::pair(entries[0].id, 5));

    // A folder is no file to preview, and no file of the previewer's list.
    model->setSelection(entries[0].id);
    EXPECT_TRUE(model->previewSelection());
    EXPECT_FALSE(model->missing());
    EXPECT_FALSE(model->previewEntry(entries[0].id));
    EXPECT_TRUE(previews.empty());
    fs::create_directories(inbox);
    std::ofstream(inbox / "loose.txt") << "x";
    EXPECT_TRUE(model->previewEntry(entries[2].id));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].files, (std::vector<fs::path>{inbox / "loose.txt", inbox / "a.jpg"}));
}

TEST_F(Model, SpaceKeyPreviewsTheSelectedEntrysListAndReportsAVanishedFile) {
    EXPECT_FALSE(model->previewSelection()) << "nothing selected";
    const fs::path a = file("a.jpg"), b = file("b.jpg");
    received(a);
    received(b);
    model->setSelection("r-not-there");
    EXPECT_FALSE(model->previewSelection());
    EXPECT_TRUE(previews.empty());

    auto entries = model->receivedEntries();
    model->setSelection(entries[1].id);
    EXPECT_TRUE(model->previewSelection());
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].files, (std::vector<fs::path>{b, a}));
    EXPECT_EQ(std::pair(previews[0].start, previews[0].toggle), std::pair(a, true));
    EXPECT_FALSE(model->missing());

    previewShows = false;
    EXPECT_TRUE(model->previewSelection()) << "handled even when the file is gone";
    EXPECT_EQ(model->missing(), "a.jpg");
    model->previewAll();
    EXPECT_EQ(model->missing(), "Các file đã nhận");
    EXPECT_EQ(std::pair(previews.back().start, previews.back().toggle), std::pair(b, false));

    // A file deleted on disk is offered alone, never swapped for its neighbour in the list.
    fs::remove(a);
    model->previewEntry(entries[1].id);
    EXPECT_EQ(previews.back().files, std::vector<fs::path>{a});
}

}  // namespace
}  // namespace skiff::app
