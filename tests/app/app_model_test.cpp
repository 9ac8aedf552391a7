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
using test::FakeTime;

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

    server::Incoming incoming(const std::string& uid, std::int64_t received) {
        return {uid, "a.jpg", "iPhone", received, 100 << 20};
    }
    server::Flow flow(server::Flow::State state, const std::string& uid, std::int64_t received,
                      std::int64_t size = 1000, const std::string& host = "192.168.1.5") {
        return {host, "iphone", "iPhone", uid, "f.bin", received, size, state};
    }

    test::TempDir dir;
    server::MainLoop loop;
    server::IoPool pool{2};
    FakeTime time;
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

TEST_F(Model, LogKeepsTheNewest80) {
    for (int i = 1; i <= 81; ++i) callbacks.onEvent("line " + std::to_string(i));
    ASSERT_EQ(model->log().size(), 80);
    EXPECT_EQ(model->log().front(), "line 81");
    EXPECT_EQ(model->log().back(), "line 2");
}

TEST_F(Model, TwoSightingsOfOneHostLeaveOneDeviceAtTheFront) {
    callbacks.onDevice("192.168.1.5", "iPhone", "iphone");
    callbacks.onDevice("192.168.1.6", "Máy Windows", "windows");
    time.advance(1000);
    callbacks.onDevice("192.168.1.5", "iPad", "ipad");
    ASSERT_EQ(model->devices().size(), 2u);
    EXPECT_EQ(model->devices()[0].host, "192.168.1.5");
    EXPECT_EQ(model->devices()[0].label, "iPad");
    EXPECT_EQ(model->devices()[0].at, time.now);
}

TEST_F(Model, UploadSpeedIsSampledAndSmoothed) {
    callbacks.onProgress(incoming("u1", 0));
    time.advance(300);
    callbacks.onProgress(incoming("u1", 4 << 20));  // under 0.4 s: not sampled
    EXPECT_EQ(model->speed(), 0);
    time.advance(200);
    callbacks.onProgress(incoming("u1", 8 << 20));
    EXPECT_NEAR(model->speed(), (8 << 20) / 0.5, 1);
    time.advance(1000);
    callbacks.onProgress(incoming("u1", 9 << 20));
    EXPECT_NEAR(model->speed(), 0.4 * (1 << 20) + 0.6 * ((8 << 20) / 0.5), 1);
    ASSERT_TRUE(model->incoming());
    EXPECT_EQ(model->incoming()->received, 9 << 20);
}

TEST_F(Model, ABatchOfThreeFilesGivesOneBannerThatANewUploadHides) {
    for (int file = 0; file < 3; ++file) {
        if (file > 0) time.advance(200);  // the next file starts within a quarter second
        callbacks.onProgress(incoming("u" + std::to_string(file), 1));
        time.advance(1000);
        callbacks.onReceived({dir.path() / "a.jpg", 1, "x", "192.168.1.5", "iPhone", std::nullopt});
        callbacks.onProgress(std::nullopt);
    }
    EXPECT_FALSE(model->justDone());
    time.advance(250);
    ASSERT_TRUE(model->justDone());
    EXPECT_EQ(model->justDone()->count, 3);
    EXPECT_EQ(model->justDone()->device, "iPhone");
    EXPECT_EQ(model->speed(), 0);
    time.advance(2399);
    EXPECT_TRUE(model->justDone());
    time.advance(1);
    EXPECT_FALSE(model->justDone());

    callbacks.onProgress(incoming("u9", 1));
    callbacks.onReceived({dir.path() / "b.jpg", 1, "x", "192.168.1.5", "iPhone", std::nullopt});
    callbacks.onProgress(std::nullopt);
    time.advance(300);
    ASSERT_TRUE(model->justDone());
    EXPECT_EQ(model->justDone()->count, 1);
    callbacks.onProgress(incoming("u10", 1));  // a new upload hides the banner at once
    EXPECT_FALSE(model->justDone());
}

TEST_F(Model, TransferCardsFinishAreRemovedAndRestartForANewBatch) {
    using State = server::Flow::State;
    callbacks.onFlow(flow(State::progress, "u1", 500));
    callbacks.onFlow(flow(State::done, "u1", 1000));
    ASSERT_EQ(model->flows().size(), 1u);
    EXPECT_EQ(model->flows()[0].count, 1);
    time.advance(499);
    EXPECT_FALSE(model->flows()[0].done);
    time.advance(1);
    EXPECT_TRUE(model->flows()[0].done);

    // A further file before the removal keeps the card and starts its count again.
    time.advance(1000);
    callbacks.onFlow(flow(State::progress, "u2", 10));
    EXPECT_FALSE(model->flows()[0].done);
    EXPECT_EQ(model->flows()[0].count, 0);
    time.advance(5000);
    ASSERT_EQ(model->flows().size(), 1u);  // the old removal was for the older completion

    callbacks.onFlow(flow(State::done, "u2", 1000));
    time.advance(500 + 3499);
    EXPECT_EQ(model->flows().size(), 1u);
    time.advance(1);
    EXPECT_TRUE(model->flows().empty());

    callbacks.onFlow(flow(State::progress, "u3", 10));
    callbacks.onFlow(flow(State::cancel, "u3", 10));
    EXPECT_TRUE(model->flows().empty());
}

TEST_F(Model, DownloadSpeedFallsToZeroAfterReportsStop) {
    std::ofstream(dir.path() / "s.bin") << std::string(1000, 's');
    model->share({dir.path() / "s.bin"});
    ASSERT_EQ(model->shared().size(), 1u);
    std::string id = model->shared()[0].id;
    callbacks.onDownload({id, "192.168.1.5", "iPhone", "iphone", 0, 1000, false});
    time.advance(500);
    callbacks.onDownload({id, "192.168.1.5", "iPhone", "iphone", 500, 1000, false});
    EXPECT_NEAR(model->sendSpeed(), 1000, 1);
    EXPECT_EQ(model->sendDevice(), "iPhone");
    time.advance(1599);
    EXPECT_GT(model->sendSpeed(), 0);
    time.advance(1);
    EXPECT_EQ(model->sendSpeed(), 0);
    // Reports for files no longer shared are ignored.
    callbacks.onDownload({"gone", "192.168.1.5", "iPhone", "iphone", 5, 10, false});
    EXPECT_EQ(model->downloads().count("gone"), 0u);
}

TEST_F(Model, ShareProgressAndSummaryWithTwoPhones) {
    std::ofstream(dir.path() / "a.bin") << std::string(300, 'a');
    std::ofstream(dir.path() / "b.bin") << std::string(100, 'b');
    model->share({dir.path() / "a.bin", dir.path() / "b.bin"});
    std::string a = model->shared()[0].id, b = model->shared()[1].id;
    EXPECT_FALSE(model->shareProgress(a));
    callbacks.onDownload({a, "192.168.1.5", "iPhone", "iphone", 60, 300, false});
    callbacks.onDownload({a, "192.168.1.6", "Máy Windows", "windows", 150, 300, false});
    EXPECT_NEAR(model->shareProgress(a)->fraction, 0.5, 1e-9);
    SendSummary summary = model->sendSummary();
    EXPECT_NEAR(summary.fraction, 150.0 / 400, 1e-9);
    EXPECT_FALSE(summary.done);
    EXPECT_TRUE(summary.active);
    callbacks.onDownload({a, "192.168.1.5", "iPhone", "iphone", 300, 300, true});
    callbacks.onDownload({b, "192.168.1.6", "Máy Windows", "windows", 100, 100, true});
    summary = model->sendSummary();
    EXPECT_TRUE(summary.done);
    EXPECT_FALSE(summary.active);
    EXPECT_NEAR(summary.fraction, 1.0, 1e-9);
    model->unshareAll();
    EXPECT_TRUE(model->shared().empty());
    EXPECT_TRUE(model->downloads().empty());
}

TEST_F(Model, NewCodeAndDenyAllAnswerWaitingPhones) {
    callbacks.onDevice("192.168.1.5", "iPhone", "iphone");
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
    EXPECT_EQ(model->pin().size(), 6);
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_TRUE(model->pending().empty());
    EXPECT_TRUE(model->devices().empty());
    EXPECT_EQ(model->log().front(), "Đã đổi mã mới — thiết bị cũ phải quét lại");
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
    for (const auto& file : model->shared()) names.push_back(file.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B.txt", "a.txt", "b.txt", "link.txt", "c.txt"}));
    EXPECT_EQ(model->shared()[0].id.size(), 32u);
    EXPECT_EQ(prefetched.size(), 6u);  // prefetched even when already shared
    EXPECT_TRUE(model->log().contains(
        "Bỏ qua \"pipe\": không phải file thường (ống, socket hay thiết bị)"));
}

TEST_F(Model, AddressFollowsTheChosenInterface) {
    EXPECT_FALSE(model->address());
    model->refresh();
    EXPECT_FALSE(model->address());
    interfaces = {{"wlan0", "192.168.1.20", "Wi-Fi", NetIface::Kind::wifi},
                  {"eth0", "10.0.0.5", "Mạng dây", NetIface::Kind::ethernet}};
    model->refresh();
    EXPECT_EQ(model->address(), "http://192.168.1.20:0/?t=123456");
    EXPECT_EQ(model->selected(), "wlan0192.168.1.20");
}

// The command names the port the server got; the page hears which firewall to blame.
TEST_F(Model, TheFirewallThatIsOnGetsTheCommandForThePortInUse) {
    firewall = {true, Firewall::firewalld};
    model->start();
    ASSERT_TRUE(loop.runUntil([&] { return model->running(); }));
    std::string port = std::to_string(fileServer->port());
    EXPECT_EQ(model->firewallNameText(), "firewalld");
    EXPECT_EQ(
        model->firewallCommandText().toStdString(),
        "sudo firewall-cmd --add-port=" + port + "/tcp --permanent && sudo firewall-cmd --reload");
    EXPECT_EQ(fileServer->firewall(), "firewalld");
    EXPECT_EQ(storedPort(*settings), fileServer->port());
    EXPECT_EQ(model->portMovedFrom(), 0);

    firewall = {false, {}};
    model->retryNetwork();
    EXPECT_EQ(model->firewallCommandText(), "");
    EXPECT_EQ(fileServer->firewall(), "");
}

TEST(ReceiveFolder, AStoredFolderWinsOverTheDefault) {
    test::TempDir dir;
    QSettings settings(QString::fromStdString((dir.path() / "s.ini").string()),
                       QSettings::IniFormat);
    EXPECT_EQ(loadSaveDir(settings), defaultReceiveFolder());
    storeSaveDir(settings, dir.path() / "in");
    EXPECT_EQ(loadSaveDir(settings), dir.path() / "in");
}

TEST_F(Model, ConvertedNoteNamesEachConversionSeen) {
    EXPECT_FALSE(model->convertedNote());
    callbacks.onReceived({dir.path() / "a.jpg", 1, "x", "h", "iPhone", "jpg"});
    EXPECT_FALSE(model->convertedNote()->contains("MP4"));
    callbacks.onReceived({dir.path() / "b.mp4", 1, "x", "h", "iPhone", "mp4"});
    EXPECT_TRUE(
        model->convertedNote()->startsWith("iPhone có thể đã đổi ảnh HEIC sang JPG. "
                                           "iPhone có thể đã nén/đổi video sang MP4."));
    auto entries = model->receivedEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "b.mp4");
    EXPECT_EQ(entries[0].warning, "mp4");
    EXPECT_TRUE(entries[0].id.startsWith("r"));
    // A folder warns when any file in it may have been converted, not only its first.
    callbacks.onReceived({dir.path() / "f/c.mp4", 1, "x", "h", "iPhone", "mp4", "f/"});
    callbacks.onReceived({dir.path() / "f/d.png", 1, "x", "h", "iPhone", std::nullopt, "f/"});
    entries = model->receivedEntries();
    ASSERT_EQ(entries[0].name, "f");
    EXPECT_EQ(entries[0].warning, "mp4");
}

TEST_F(Model, FilesOfAFolderAreOneEntryWithTheirCountAndSizeAndNoPreview) {
    const fs::path inbox = dir.path() / "inbox";
    auto received = [&](const std::string& relative, std::int64_t size, const std::string& folder) {
        callbacks.onReceived({inbox / relative, size, "x", "h", "iPhone", std::nullopt, folder});
    };
    received("Ảnh/2024/a.jpg", 10, "Ảnh/2024/");
    received("loose.txt", 1, "");
    received("Ảnh/b.jpg", 20, "Ảnh/");
    received("Ảnh (2)/c.jpg", 5, "Ảnh (2)/");
    received("Ảnh/2024/12/d.jpg", 30, "Ảnh/2024/12/");

    auto entries = model->receivedEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "Ảnh");
    EXPECT_EQ(entries[0].url, inbox / "Ảnh");
    EXPECT_EQ(entries[0].files, 3);
    EXPECT_EQ(entries[0].size, 60);
    EXPECT_EQ(entries[1].name, "Ảnh (2)");
    EXPECT_EQ(entries[1].files, 1);
    EXPECT_EQ(entries[2].name, "loose.txt");
    EXPECT_EQ(entries[2].files, 0);
    // The folder keeps its id while files keep arriving, so a selection of it holds.
    const QString folderId = entries[0].id;
    received("Ảnh/e.jpg", 1, "Ảnh/");
    EXPECT_EQ(model->receivedEntries()[0].id, folderId);
    EXPECT_EQ(model->receivedEntries()[0].files, 4);

    // A folder is no file to preview, and no file of the previewer's list.
    model->setSelection(folderId);
    EXPECT_TRUE(model->previewSelection());
    EXPECT_FALSE(model->missing());
    EXPECT_FALSE(model->previewEntry(folderId));
    EXPECT_TRUE(previews.empty());
    fs::create_directories(inbox);
    std::ofstream(inbox / "loose.txt") << "x";
    EXPECT_TRUE(model->previewEntry(entries[2].id));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].files, std::vector<fs::path>{inbox / "loose.txt"});
}

TEST_F(Model, SpaceKeyPreviewsTheSelectedEntrysListAndReportsAVanishedFile) {
    EXPECT_FALSE(model->previewSelection()) << "nothing selected";
    for (const char* name : {"a.jpg", "b.jpg"}) std::ofstream(dir.path() / name) << "x";
    callbacks.onReceived({dir.path() / "a.jpg", 1, "x", "h", "iPhone", std::nullopt});
    callbacks.onReceived({dir.path() / "b.jpg", 1, "x", "h", "iPhone", std::nullopt});
    model->setSelection("r-not-there");
    EXPECT_FALSE(model->previewSelection());
    EXPECT_TRUE(previews.empty());

    auto entries = model->receivedEntries();
    model->setSelection(entries[1].id);
    EXPECT_TRUE(model->previewSelection());
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].files,
              (std::vector<fs::path>{dir.path() / "b.jpg", dir.path() / "a.jpg"}));
    EXPECT_EQ(previews[0].start, dir.path() / "a.jpg");
    EXPECT_TRUE(previews[0].toggle);
    EXPECT_FALSE(model->missing());

    previewShows = false;
    EXPECT_TRUE(model->previewSelection()) << "handled even when the file is gone";
    EXPECT_EQ(model->missing(), "a.jpg");
    model->previewAll();
    EXPECT_EQ(model->missing(), "Các file đã nhận");
    EXPECT_FALSE(previews.back().toggle);
    EXPECT_EQ(previews.back().start, dir.path() / "b.jpg");

    // A file deleted on disk is offered alone, never swapped for its neighbour in the list.
    fs::remove(dir.path() / "a.jpg");
    model->previewEntry(entries[1].id);
    EXPECT_EQ(previews.back().files, std::vector<fs::path>{dir.path() / "a.jpg"});
}

TEST_F(Model, WindowListsCarryTheEntriesAndOnlyLocalUrlsAreShared) {
    fs::path file = dir.path() / "report.doc";
    std::ofstream(file) << "four";
    model->shareUrls({QUrl("https://example.invalid/x"),
                      QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    QVariantList shared = model->sharedList();
    ASSERT_EQ(shared.size(), 1);
    QVariantMap entry = shared[0].toMap();
    EXPECT_EQ(entry["name"].toString(), "report.doc");
    EXPECT_EQ(entry["size"].toDouble(), 4);
    EXPECT_TRUE(entry["removable"].toBool());
    EXPECT_TRUE(entry["id"].toString().startsWith("s"));
    EXPECT_TRUE(model->shareProgressOf(entry["id"].toString().mid(1)).isEmpty());
    EXPECT_EQ(model->sendSummaryMap()["active"].toBool(), false);
}

}  // namespace
}  // namespace skiff::app
