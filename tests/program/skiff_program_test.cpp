// The `skiff` program as a terminal user and a script see it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

#include "support/raw_client.hpp"
#include "support/sample_pdf.hpp"
#include "support/shell_output.hpp"
#include "support/temp_dir.hpp"
#include "support/upload_client.hpp"  // json()

namespace skiff::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Words = std::vector<std::string>;
const std::string kPhone = "User-Agent: Mozilla/5.0 (Linux; Android 14; Pixel 8)\r\n";

// A command's output (with its errors) and exit code.
std::pair<int, std::string> capture(const std::string& command) {
    int status = 0;
    std::string output = shellOutput(command + " 2>&1", &status);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string fileText(const fs::path& path) {
    return shellOutput("cat '" + path.string() + "'");
}

// The program with its output on a pipe, as a script runs it, in a session of its own: no
// launch meets the desktop's Skiff, or another test's, on the bus or through the lock.
class Program {
  public:
    // `before`: settings NAME=VALUE, then the command that runs the program, if any.
    Program(const fs::path& home, Words arguments, Words before = {}, const fs::path& errors = {}) {
        fs::path run = home / "run";
        mkdir(run.c_str(), 0700);
        Words words = {"env", "-u", "XDG_CONFIG_HOME", "HOME=" + home.string()};
        words.push_back("XDG_RUNTIME_DIR=" + run.string());
        words.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + (run / "bus").string());
        words.insert(words.end(), before.begin(), before.end());
        words.push_back(SKIFF_BINARY);
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        int out[2], in[2];
        if (pipe(out) != 0 || pipe(in) != 0) throw std::runtime_error("pipe");
        if ((m_pid = fork()) == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(in[0], STDIN_FILENO);
            if (!errors.empty())
                dup2(open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]), close(in[0]);
        m_out = out[0], m_in = in[1];
    }
    ~Program() {
        if (m_pid > 0) kill(m_pid, SIGKILL), waitpid(m_pid, nullptr, 0);
        close(m_out), close(m_in);
    }

    void type(const std::string& line) {
        (void)!write(m_in, (line + "\n").data(), line.size() + 1);
    }

    // The next whole line of output, or "" after 10 s without output.
    std::string line() {
        char chunk[4096];
        pollfd waiting{m_out, POLLIN, 0};
        for (ssize_t n = 0; m_buffer.find('\n') == std::string::npos; m_buffer.append(chunk, n))
            if (poll(&waiting, 1, 10000) <= 0 || (n = read(m_out, chunk, sizeof chunk)) <= 0)
                return "";
        std::string text = m_buffer.substr(0, m_buffer.find('\n'));
        m_buffer.erase(0, text.size() + 1);
        return text;
    }

    // Reads lines until one matches; returns it, or "" when the output ends first. `seen`
    // collects every line read.
    std::string waitFor(const std::string& pattern, std::string* seen = nullptr) {
        std::regex wanted(pattern);
        for (std::string text = line(); !text.empty(); text = line()) {
            if (seen) *seen += text + "\n";
            if (std::regex_search(text, wanted)) return text;
        }
        return "";
    }

    std::string pid() const { return std::to_string(m_pid); }

    // The exit code once the program ends by itself within the timeout, else -1.
    int wait(std::chrono::milliseconds timeout = 5s) {
        int status = 0;
        for (auto end = std::chrono::steady_clock::now() + timeout;
             waitpid(m_pid, &status, WNOHANG) != m_pid; std::this_thread::sleep_for(20ms))
            if (std::chrono::steady_clock::now() > end) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int interrupt() { return kill(m_pid, SIGINT), wait(60s); }

    // The start-up screen: the address, then the session code.
    std::pair<std::uint16_t, std::string> start() {
        std::string seen;
        std::smatch m;
        waitFor("^Mã phiên \\d{3} \\d{3}$", &seen);
        if (std::regex_search(
                seen, m, std::regex(":(\\d+)/\\?t=\\d{6}[\\s\\S]*Mã phiên (\\d{3}) (\\d{3})\n")))
            return {static_cast<std::uint16_t>(std::stoi(m[1].str())), m[2].str() + m[3].str()};
        ADD_FAILURE() << "no address and session code: " << seen;
        return {0, ""};
    }

    // Lets a phone in by typing "c" at the prompt; the names the program then offers it.
    std::vector<std::string> sharedNames(std::uint16_t port, const std::string& code) {
        if (get(port, "/api/files?t=" + code, kPhone).status == 428) {
            EXPECT_NE(waitFor("Kiểm tra số này"), "");
            type("c");
            EXPECT_NE(waitFor("Đã cho phép"), "");
        }
        std::vector<std::string> names;
        auto list = json(get(port, "/api/files?t=" + code, kPhone));
        for (const auto& file : list["files"]) names.push_back(file["name"]);
        return names;
    }

  private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_in = -1;
    std::string m_buffer;
};

// Events reach a pipe as clean lines as they happen (no bell). (Ctrl-C in the middle of uploads
// is the reliability suite's.)
TEST(Program, ApprovalPromptAndAnswerReachAPipeAsCleanLines) {
    TempDir home;
    Program program(home.path(), {});
    auto [port, code] = program.start();
    ASSERT_NE(port, 0);
    const std::string phone = "Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X)";
    Reply asking = get(port, "/api/files?t=" + code, "User-Agent: " + phone + "\r\n");
    ASSERT_EQ(asking.status, 428);
    EXPECT_NE(program.waitFor("Kiểm tra số này giống số trên điện thoại: " +
                              json(asking)["code"].get<std::string>()),
              "");
    program.type("c");
    std::string lines;
    EXPECT_EQ(program.waitFor("Đã cho phép", &lines), "Đã cho phép iPhone (127.0.0.1)") << lines;
    EXPECT_EQ(lines.find('\a'), std::string::npos) << lines;
    EXPECT_EQ(program.interrupt(), 0);
}

// Ctrl-C while a decoder is busy with a PDF that would take hours stops the program at once,
// with no decoder left behind.
TEST(Program, CtrlCStopsABusyDecoderAtOnce) {
    TempDir home;
    fs::path pdf = home.path() / "forms.pdf";
    ASSERT_TRUE(writeNestedFormsPdf(pdf));
    Program program(home.path(), {pdf.string()});
    auto [port, code] = program.start();
    ASSERT_EQ(program.sharedNames(port, code).size(), 1u);
    std::string decoders;
    for (int i = 0; i < 200 && decoders.empty(); ++i, std::this_thread::sleep_for(50ms))
        decoders = capture("pgrep -x skiff-decode -P " + program.pid()).second;
    ASSERT_FALSE(decoders.empty()) << "the shared PDF's thumbnail is being made";
    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(program.interrupt(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 2s);
    decoders.pop_back();  // the newline after pgrep's last id
    std::replace(decoders.begin(), decoders.end(), '\n', ' ');
    EXPECT_EQ(capture("ps -o stat= -p '" + decoders + "' | grep -v '^Z'").second, "") << decoders;
}

TEST(Program, HelpVersionAndBadArguments) {
    std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"--help", 0, "Cách dùng: skiff"},
        {"--version", 0, "Skiff "},
        {"--bogus", 2, "tuỳ chọn không hợp lệ: --bogus"},
        {"/no/such/file", 2, "không tìm thấy: /no/such/file"}};
    for (std::string port : {" 0", "=65536", " abc", ""})
        cases.emplace_back("--port" + port, 2, "số cổng không hợp lệ");
    for (const auto& [arguments, status, told] : cases) {
        auto [code, output] = capture(std::string(SKIFF_BINARY) + " " + arguments);
        EXPECT_EQ(code, status) << arguments;
        EXPECT_NE(output.find(told), std::string::npos) << arguments << ": " << output;
    }
}

TEST(Program, KeepsItsPortAcrossStartsAndLeavesOneThatIsTaken) {
    TempDir home;
    // The port of a start, after `check` read its output; then Ctrl-C, which must exit 0.
    auto portOfAStart = [&](auto check) {
        Program program(home.path(), {});
        std::uint16_t port = program.start().first;
        check(program, port);
        EXPECT_EQ(program.interrupt(), 0);
        return port;
    };
    auto nothing = [](Program&, std::uint16_t) {};
    const std::uint16_t first = portOfAStart(nothing);
    ASSERT_NE(first, 0);
    EXPECT_EQ(portOfAStart(nothing), first);

    // Another program takes the port on every IPv4 address.
    int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(first);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    const std::uint16_t moved = portOfAStart([&](Program& program, std::uint16_t port) {
        EXPECT_NE(port, first);
        auto told = "Cổng " + std::to_string(first) + " .* sang cổng " + std::to_string(port);
        EXPECT_NE(program.waitFor(told), "");
    });
    EXPECT_EQ(portOfAStart(nothing), moved);
    // Asked for by number, a taken port stops the start instead of moving.
    Program program(home.path(), {"--port", std::to_string(first)});
    EXPECT_EQ(program.line().rfind("Cổng " + std::to_string(first) + " đang được", 0), 0u);
    EXPECT_EQ(program.interrupt(), 1);
    close(holder);
}

// The connection cap stays below the descriptor limit, so a flood never leaves the program
// without descriptors for its files, and it answers again once the flood is gone.
TEST(Program, AConnectionFloodLeavesDescriptorsSpareAndPasses) {
    TempDir home;
    // Out of descriptors the sanitizer misreports type checks as "invalid vptr": those pass, all
    // other reports count. The limit is soft and hard alike: the program cannot raise it.
    fs::path errors = home.path() / "stderr.txt";
    Program program(
        home.path(), {},
        {"UBSAN_OPTIONS=halt_on_error=0:print_stacktrace=0", "prlimit", "--nofile=48:48", "--"},
        errors);
    auto [port, code] = program.start();
    ASSERT_NE(port, 0);
    {
        std::vector<RawClient> hogs;
        for (int i = 0; i < 80; ++i) hogs.emplace_back(port);
        std::this_thread::sleep_for(1s);  // let it accept (and shed) what it can
        auto fds = fs::directory_iterator("/proc/" + program.pid() + "/fd");
        EXPECT_LT(std::distance(fds, fs::directory_iterator()), 48);
    }
    bool answered = false;
    for (int attempt = 0; attempt < 20 && !answered; ++attempt)
        answered = request(port, "GET / HTTP/1.1\r\n\r\n").status == 200;
    EXPECT_TRUE(answered);
    EXPECT_EQ(program.interrupt(), 0);
    std::regex other("runtime error: (?!.*which does not point to an object of type)");
    EXPECT_FALSE(std::regex_search(fileText(errors), other)) << fileText(errors);
}

// A private session bus at `socket`, for the programs whose home holds it.
struct SessionBus {
    explicit SessionBus(const fs::path& socket) : address("unix:path=" + socket.string()) {
        mkdir(socket.parent_path().c_str(), 0700);
        auto [code, id] = capture("dbus-daemon --session --fork --print-pid --address=" + address);
        pid = code == 0 ? std::atoi(id.c_str()) : -1;
    }
    ~SessionBus() { pid > 0 && kill(pid, SIGTERM); }
    std::string address;
    pid_t pid = -1;
};

// One Skiff per session: later launches hand their files (relative to where they run) to the
// first; a missing file is refused, and a bus call naming one shares nothing of the rest.
TEST(Program, ALaterLaunchHandsItsFilesToTheFirstOverTheSessionBus) {
    TempDir home;
    SessionBus bus(home.path() / "run" / "bus");
    ASSERT_GT(bus.pid, 0);
    fs::path folder = home.path() / "picked";
    fs::create_directories(folder / "sub");
    for (auto name : {"a.txt", "sub/b.txt", "c.txt"}) std::ofstream(folder / name) << name;
    Words token = {"XDG_ACTIVATION_TOKEN=launch-token", "env", "-C", folder.string(), "--"};
    Words inFolder(token.begin() + 1, token.end());

    Program first(home.path(), {"--terminal"});
    auto [port, code] = first.start();
    ASSERT_NE(port, 0);
    Program second(home.path(), {"--terminal", "a.txt", "sub/b.txt"}, token);
    EXPECT_EQ(second.line(), "Skiff đang chạy rồi, đã chuyển 2 file sang để chia sẻ.");
    EXPECT_EQ(second.wait(), 0);
    EXPECT_NE(first.waitFor("^Đang chia sẻ 2 file$"), "");

    Program bare(home.path(), {"--terminal"});
    EXPECT_EQ(bare.line(), "Skiff đang chạy rồi.");
    EXPECT_EQ(bare.wait(), 0);

    fs::path errors = home.path() / "missing-stderr.txt";
    Program missing(home.path(), {"--terminal", "c.txt", "gone.txt"}, inFolder, errors);
    EXPECT_EQ(missing.wait(), 2);
    EXPECT_EQ(fileText(errors).rfind("skiff: không tìm thấy: gone.txt\n", 0), 0u);

    auto open = [&](const std::string& uris) {
        return capture("gdbus call --address '" + bus.address +
                       "' --dest io.github.skiff.Skiff --object-path /io/github/skiff/Skiff"
                       " --method org.freedesktop.Application.Open \"" +
                       uris + "\" '{}'");
    };
    auto [openCode, output] =
        open("['file://" + (folder / "c.txt").string() + "', 'file:///no/such/file']");
    EXPECT_NE(openCode, 0);
    EXPECT_NE(output.find("không tìm thấy: /no/such/file"), std::string::npos) << output;
    EXPECT_NE(open("['https://example.invalid/x']").first, 0);

    EXPECT_EQ(first.sharedNames(port, code), (Words{"a.txt", "b.txt"}));
    EXPECT_EQ(first.interrupt(), 0);
}

// Without a session bus, the lock file keeps a second server from starting, in the runtime
// folder or, without one, beside the settings; it goes with the program that held it.
TEST(Program, WithoutASessionBusASecondServerIsRefused) {
    for (std::string runtime : {"set", "unset"}) {
        SCOPED_TRACE("XDG_RUNTIME_DIR " + runtime);
        TempDir home;
        Words environment = runtime == "unset" ? Words{"XDG_RUNTIME_DIR="} : Words{};
        // The first line of a second launch, which must then exit 1.
        auto refusal = [&](const Words& settings) {
            Program second(home.path(), {"--terminal", home.path().string()}, settings);
            std::string line = second.line();
            EXPECT_EQ(second.wait(), 1) << line;
            return line;
        };
        auto first = std::make_unique<Program>(home.path(), Words{"--terminal"}, environment);
        ASSERT_NE(first->start().first, 0);
        std::string line = refusal(environment);
        EXPECT_EQ(line.rfind("Skiff đang chạy rồi, nhưng không có D-Bus phiên", 0), 0u) << line;
        fs::path lock = runtime == "set" ? home.path() / "run" : home.path() / ".config" / "Skiff";
        EXPECT_NE(line.find((lock / "io.github.skiff.Skiff.lock").string()), std::string::npos)
            << line;

        // A launch on a bus the first is not on owns the name there, and still stops.
        SessionBus other(home.path() / "other" / "bus");
        ASSERT_GT(other.pid, 0);
        Words onOther = environment;
        onOther.push_back("DBUS_SESSION_BUS_ADDRESS=" + other.address);
        line = refusal(onOther);
        EXPECT_EQ(line.rfind("Skiff đang chạy rồi nhưng không ở trên D-Bus phiên này", 0), 0u)
            << line;
        EXPECT_EQ(first->interrupt(), 0);
        first.reset();

        Program third(home.path(), {"--terminal"}, environment);
        EXPECT_NE(third.start().first, 0);
        EXPECT_EQ(third.interrupt(), 0);
    }
}

}  // namespace
}  // namespace skiff::test
