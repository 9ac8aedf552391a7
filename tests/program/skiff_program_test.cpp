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

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/raw_client.hpp"
#include "support/sample_jpeg.hpp"
#include "support/sample_pdf.hpp"
#include "support/temp_dir.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Runs the program with its output on a pipe, as a script would.
class Program {
  public:
    explicit Program(const std::filesystem::path& home, std::vector<std::string> prefix = {},
                     std::vector<std::pair<std::string, std::string>> environment = {},
                     const std::filesystem::path& errorLog = {},
                     std::vector<std::string> arguments = {}) {
        int out[2], in[2];
        if (pipe(out) != 0 || pipe(in) != 0) throw std::runtime_error("pipe");
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(in[0], STDIN_FILENO);
            close(in[0]);
            close(in[1]);
            if (!errorLog.empty()) {
                int log = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                dup2(log, STDERR_FILENO);
            }
            close(out[0]);
            close(out[1]);
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_CONFIG_HOME");
            // A session of its own: no launch meets the desktop's Skiff, or another test's, on
            // the bus or through the lock. The bus is there when the test starts one.
            std::filesystem::path run = home / "run";
            mkdir(run.c_str(), 0700);
            setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
            setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (run / "bus").string()).c_str(), 1);
            for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
            std::vector<std::string> words = prefix;
            words.push_back(SKIFF_BINARY);
            words.insert(words.end(), arguments.begin(), arguments.end());
            std::vector<char*> argv;
            for (auto& w : words) argv.push_back(w.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        m_out = out[0];
        m_in = in[1];
    }
    ~Program() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        if (m_in >= 0) close(m_in);
    }

    // Types a line on the program's standard input.
    void type(const std::string& line) {
        std::string text = line + "\n";
        ssize_t ignored = write(m_in, text.data(), text.size());
        (void)ignored;
    }

    // The next whole line of output, or "" after the timeout.
    std::string line(std::chrono::milliseconds timeout = 10s) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_buffer.find('\n') == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd waiting{m_out, POLLIN, 0};
            if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
                return "";
            char chunk[4096];
            ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0) return "";
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
        std::size_t end = m_buffer.find('\n');
        std::string text = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        return text;
    }

    std::size_t openDescriptors() const {
        std::error_code error;
        std::size_t count = 0;
        for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd",
                                                           error);
             !error && it != std::filesystem::directory_iterator(); it.increment(error))
            ++count;
        return count;
    }

    // The program's child processes of that name (as /proc shows it), running now.
    std::vector<pid_t> children(const std::string& name) const {
        std::vector<pid_t> found;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string pid, comm, state;
            pid_t parent = 0;
            if (stat >> pid >> comm >> state >> parent && parent == m_pid &&
                comm == "(" + name + ")")
                found.push_back(std::stoi(pid));
        }
        return found;
    }

    std::size_t peakMemoryKiB() const {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6));
        return 0;
    }

    // The exit code once the program ends by itself within the timeout, else -1.
    int wait(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(20ms);
        }
    }

    int interrupt() {
        kill(m_pid, SIGINT);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_in = -1;
    std::string m_buffer;
};

struct Started {
    std::string code;
    std::uint16_t port = 0;
};

// Reads the start-up screen: a QR code, the address, then the session code.
Started readStart(Program& program) {
    Started started;
    std::smatch match;
    for (int i = 0; i < 60; ++i) {
        std::string line = program.line();
        if (line.empty() && i > 0) break;
        if (std::regex_search(line, match,
                              std::regex("http://([0-9.]+|localhost):(\\d+)/\\?t=(\\d{6})")))
            started.port = static_cast<std::uint16_t>(std::stoi(match[2].str()));
        if (std::regex_match(line, match, std::regex("Mã phiên (\\d{3}) (\\d{3})"))) {
            started.code = match[1].str() + match[2].str();
            break;
        }
    }
    EXPECT_NE(started.port, 0);
    EXPECT_EQ(started.code.size(), 6u);
    return started;
}

// Reads lines until one matches; returns it, or "" when the output ends first.
std::string waitForLine(Program& program, const std::string& pattern) {
    std::regex wanted(pattern);
    for (std::string line = program.line(); !line.empty(); line = program.line())
        if (std::regex_search(line, wanted)) return line;
    return "";
}

// Events reach a pipe as clean lines as they happen, and Ctrl-C stops the program even in the
// middle of an upload, leaving no part file.
TEST(Program, ApproveUploadAndStopMidUpload) {
    TempDir home;
    fs::create_directories(home.path() / "share");
    std::ofstream(home.path() / "share" / "a.txt") << "first";
    std::ofstream(home.path() / "share" / "b.txt") << "second";
    Program program(home.path(), {}, {}, {}, {(home.path() / "share").string()});
    Started started = readStart(program);
    ASSERT_NE(started.port, 0);
    EXPECT_EQ(get(started.port, "/").status, 200);
    const std::string phone = "Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X)";
    UploadClient client(started.port, started.code, phone);

    Reply asking =
        get(started.port, "/api/files?t=" + started.code, "User-Agent: " + phone + "\r\n");
    ASSERT_EQ(asking.status, 428);
    std::string pairCode = json(asking)["code"];
    EXPECT_NE(waitForLine(program, "“iPhone” muốn kết nối"), "");
    EXPECT_NE(waitForLine(program, "Kiểm tra số này giống số trên điện thoại: " + pairCode), "");
    program.type("c");
    // Every event is a clean line in a pipe: the approval bell rings on a terminal only.
    std::string lines;
    for (std::string line = program.line(); !line.empty(); line = program.line()) {
        lines += line + "\n";
        if (line.find("Đã cho phép") != std::string::npos) break;
    }
    EXPECT_NE(lines.find("Đã cho phép iPhone (127.0.0.1)\n"), std::string::npos) << lines;
    EXPECT_EQ(lines.find('\a'), std::string::npos) << lines;

    // The files named on the command line are offered to the phone, singly and as a ZIP.
    auto files =
        json(get(started.port, "/api/files?t=" + started.code, "User-Agent: " + phone + "\r\n"));
    ASSERT_EQ(files["files"].size(), 2u);
    EXPECT_EQ(files["files"][0]["name"], "a.txt");
    std::string id = files["files"][1]["id"];
    EXPECT_EQ(get(started.port, "/api/dl/" + id + "?t=" + started.code).body, "second");
    Reply zip = get(started.port, "/api/zip?t=" + started.code);
    EXPECT_EQ(zip.status, 200);
    EXPECT_EQ(zip.body.size(), 22u + 2 * (30 + 5 + 16 + 46 + 5) + 5 + 6);

    Reply done = client.sendFile("prog01", "ảnh.jpg", "picture bytes");
    ASSERT_EQ(done.status, 200) << done.body;
    EXPECT_NE(waitForLine(program, "Đã nhận \"ảnh.jpg\" \\(13 byte\\) từ iPhone · SHA-256 khớp"),
              "");
    fs::path inbox = home.path() / "Downloads" / "Skiff";
    EXPECT_TRUE(fs::exists(inbox / "ảnh.jpg"));

    ASSERT_EQ(client.init("prog02", "half.bin", 1000).status, 200);
    ASSERT_EQ(client.chunk("prog02", 0, std::string(500, 'h')).status, 200);
    EXPECT_TRUE(fs::exists(inbox / ".prog02.porter-part"));
    EXPECT_EQ(program.interrupt(), 0);
    EXPECT_FALSE(fs::exists(inbox / ".prog02.porter-part"));
}

// Decoder bombs shared with the phones: a picture of a few hundred bytes claiming 900
// megapixels costs the program nothing, and Ctrl-C while a decoder is busy with a PDF that
// would take hours stops it at once, with no decoder left behind.
TEST(Program, DecoderBombsCostNothingAndStopNothing) {
    TempDir home;
    fs::path pdf = home.path() / "forms.pdf";
    ASSERT_TRUE(writeNestedFormsPdf(pdf));
    fs::path bomb = home.path() / "bomb.jpg";
    ASSERT_TRUE(writeJpegClaiming(bomb, 30000, 30000));
    Program program(home.path(), {}, {}, {}, {bomb.string(), pdf.string()});
    Started started = readStart(program);
    const std::string phone = "User-Agent: Mozilla/5.0 (Linux; Android 14; Pixel 8)\r\n";
    ASSERT_EQ(get(started.port, "/api/files?t=" + started.code, phone).status, 428);
    EXPECT_NE(waitForLine(program, "Kiểm tra số này"), "");
    program.type("c");
    EXPECT_NE(waitForLine(program, "Đã cho phép"), "");
    auto files = json(get(started.port, "/api/files?t=" + started.code, phone));
    ASSERT_EQ(files["files"].size(), 2u);
    std::string bombId = files["files"][0]["id"];
    // The phone's request for the bomb's thumbnail is answered like any undrawable file.
    EXPECT_EQ(get(started.port, "/api/thumb/" + bombId + "?t=" + started.code, phone).status, 404);
    std::vector<pid_t> decoders;
    for (int i = 0; i < 200 && decoders.empty(); ++i) {
        std::this_thread::sleep_for(50ms);
        decoders = program.children("skiff-decode");
    }
    ASSERT_FALSE(decoders.empty()) << "the shared PDF's thumbnail is being made";
    std::this_thread::sleep_for(1s);
    EXPECT_LT(program.peakMemoryKiB(), 400 * 1024) << "sanitizers included";
    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(program.interrupt(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 2s);
    for (pid_t decoder : decoders) {
        std::ifstream stat("/proc/" + std::to_string(decoder) + "/stat");
        std::string pid, comm, state;
        EXPECT_TRUE(!(stat >> pid >> comm >> state) || state == "Z") << "decoder " << decoder;
    }
}

TEST(Program, HelpVersionAndBadArguments) {
    TempDir home;
    std::string binary = SKIFF_BINARY;
    auto run = [&](const std::string& arguments, int* status) {
        std::string output;
        FILE* pipe = popen((binary + " " + arguments + " 2>&1").c_str(), "r");
        char buffer[4096];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        *status = WEXITSTATUS(pclose(pipe));
        return output;
    };
    int status = 0;
    EXPECT_NE(run("--help", &status).find("Cách dùng: skiff"), std::string::npos);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run("--version", &status).rfind("Skiff ", 0), 0u);
    EXPECT_EQ(status, 0);
    EXPECT_NE(run("--bogus", &status).find("tuỳ chọn không hợp lệ: --bogus"), std::string::npos);
    EXPECT_EQ(status, 2);
    for (const char* port : {"--port 0", "--port=65536", "--port abc", "--port"}) {
        EXPECT_NE(run(port, &status).find("số cổng không hợp lệ"), std::string::npos) << port;
        EXPECT_EQ(status, 2) << port;
    }
    EXPECT_NE(run("/no/such/file", &status).find("không tìm thấy: /no/such/file"),
              std::string::npos);
    EXPECT_EQ(status, 2);
}

// Another program listening on `port` on every IPv4 address; -1 when that fails.
int holdPort(std::uint16_t port) {
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket, 1) != 0) {
        close(socket);
        return -1;
    }
    return socket;
}

TEST(Program, KeepsItsPortAcrossStartsAndLeavesOneThatIsTaken) {
    TempDir home;
    auto startOnce = [&](std::vector<std::string> arguments = {}) {
        return std::make_unique<Program>(home.path(), std::vector<std::string>{},
                                         std::vector<std::pair<std::string, std::string>>{},
                                         fs::path(), std::move(arguments));
    };
    // The port of one start that ends with Ctrl-C.
    auto portOfAStart = [&] {
        auto program = startOnce();
        std::uint16_t port = readStart(*program).port;
        EXPECT_EQ(program->interrupt(), 0);
        return port;
    };
    const std::uint16_t first = portOfAStart();
    ASSERT_NE(first, 0);
    EXPECT_EQ(portOfAStart(), first);  // the same address as yesterday

    int holder = holdPort(first);
    ASSERT_GE(holder, 0);
    std::uint16_t moved = 0;
    {
        auto program = startOnce();
        moved = readStart(*program).port;
        EXPECT_NE(moved, first);
        EXPECT_NE(waitForLine(*program, "Cổng " + std::to_string(first) +
                                            " của lần trước đang bận nên Skiff đã chuyển sang "
                                            "cổng " +
                                            std::to_string(moved)),
                  "");
        EXPECT_EQ(program->interrupt(), 0);
    }
    EXPECT_EQ(portOfAStart(), moved);  // the fresh port is the one kept now
    {
        // Asked for by number, a taken port stops the start instead of moving.
        auto program = startOnce({"--port", std::to_string(first)});
        EXPECT_EQ(program->line(), "Cổng " + std::to_string(first) +
                                       " đang được chương trình khác dùng. Chọn cổng khác với "
                                       "--port, hoặc bỏ --port để Skiff tự chọn cổng.");
        EXPECT_EQ(program->interrupt(), 1);
    }
    close(holder);
}

// The connection cap stays below the descriptor limit, so a flood never leaves the program
// without descriptors for its files, and it answers again once the flood is gone.
TEST(Program, AConnectionFloodLeavesDescriptorsSpareAndPasses) {
    TempDir home;
    // Without descriptors the sanitizer cannot probe memory and misreports type checks as
    // "invalid vptr"; those are let through and every other report still counts.
    std::filesystem::path errors = home.path() / "stderr.txt";
    // Soft and hard limit alike, so the program cannot raise it.
    Program program(home.path(), {"prlimit", "--nofile=48:48", "--"},
                    {{"UBSAN_OPTIONS", "halt_on_error=0:print_stacktrace=0"}}, errors);
    Started started = readStart(program);
    ASSERT_NE(started.port, 0);
    {
        std::vector<RawClient> hogs;
        for (int i = 0; i < 80; ++i) hogs.emplace_back(started.port);
        std::this_thread::sleep_for(1s);  // let it accept (and shed) what it can
        EXPECT_LT(program.openDescriptors(), 48u);
    }
    // Once the hogs are gone (closed or timed out), new phones get answers again.
    bool answered = false;
    for (int attempt = 0; attempt < 20 && !answered; ++attempt) {
        RawClient phone(started.port);
        phone.send("GET / HTTP/1.1\r\n\r\n");
        answered = parseReply(phone.readAll(500ms)).status == 200;
    }
    EXPECT_TRUE(answered);
    EXPECT_EQ(program.interrupt(), 0);
    std::ifstream log(errors);
    for (std::string line; std::getline(log, line);) {
        EXPECT_EQ(line.find("AddressSanitizer"), std::string::npos) << line;
        if (line.find("runtime error:") != std::string::npos) {
            EXPECT_NE(line.find("which does not point to an object of type"), std::string::npos)
                << line;
        }
    }
}

// A private session bus at `socket`, for the programs whose home holds it.
class SessionBus {
  public:
    explicit SessionBus(const fs::path& socket) : m_address("unix:path=" + socket.string()) {
        mkdir(socket.parent_path().c_str(), 0700);
        std::string command =
            "dbus-daemon --session --fork --print-pid --address=" + m_address + " 2>&1";
        FILE* output = popen(command.c_str(), "r");
        if (output == nullptr || std::fscanf(output, "%d", &m_pid) != 1) m_pid = -1;
        if (output != nullptr) pclose(output);
    }
    ~SessionBus() {
        if (m_pid > 0) kill(m_pid, SIGTERM);
    }
    bool running() const { return m_pid > 0; }

    // Calls a method of the program's interface with gdbus; its output, with the exit code.
    std::pair<int, std::string> call(const std::string& method, const std::string& arguments) {
        std::string command = "gdbus call --address '" + m_address +
                              "' --dest io.github.skiff.Skiff --object-path /io/github/skiff/Skiff"
                              " --method org.freedesktop.Application." +
                              method + " " + arguments + " 2>&1";
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        int status = pclose(pipe);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
    }

  private:
    std::string m_address;
    pid_t m_pid = -1;
};

// The names the program offers a phone, once the phone is let in.
std::vector<std::string> sharedNames(Program& program, const Started& started) {
    const std::string phone = "User-Agent: Mozilla/5.0 (Linux; Android 14; Pixel 8)\r\n";
    if (get(started.port, "/api/files?t=" + started.code, phone).status == 428) {
        EXPECT_NE(waitForLine(program, "Kiểm tra số này"), "");
        program.type("c");
        EXPECT_NE(waitForLine(program, "Đã cho phép"), "");
    }
    auto list = json(get(started.port, "/api/files?t=" + started.code, phone));
    std::vector<std::string> names;
    for (const auto& file : list["files"]) names.push_back(file["name"]);
    return names;
}

// One Skiff per session: later launches hand their files (named relative to where they run)
// to the first, which shares them as its own; a file that is not there is refused as on the
// command line, and a bus call naming one shares nothing of the rest.
TEST(Program, ALaterLaunchHandsItsFilesToTheFirstOverTheSessionBus) {
    TempDir home;
    SessionBus bus(home.path() / "run" / "bus");
    ASSERT_TRUE(bus.running());
    fs::path folder = home.path() / "picked";
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "a.txt") << "first";
    std::ofstream(folder / "sub" / "b.txt") << "second";
    std::ofstream(folder / "c.txt") << "third";

    Program first(home.path(), {}, {}, {}, {"--terminal"});
    Started started = readStart(first);
    ASSERT_NE(started.port, 0);

    Program second(home.path(), {"env", "-C", folder.string(), "--"},
                   {{"XDG_ACTIVATION_TOKEN", "launch-token"}}, {},
                   {"--terminal", "a.txt", "sub/b.txt"});
    EXPECT_EQ(second.line(), "Skiff đang chạy rồi, đã chuyển 2 file sang để chia sẻ.");
    EXPECT_EQ(second.wait(5s), 0);
    EXPECT_NE(waitForLine(first, "^Đang chia sẻ 2 file$"), "");

    Program bare(home.path(), {}, {}, {}, {"--terminal"});
    EXPECT_EQ(bare.line(), "Skiff đang chạy rồi.");
    EXPECT_EQ(bare.wait(5s), 0);

    fs::path errors = home.path() / "missing-stderr.txt";
    Program missing(home.path(), {"env", "-C", folder.string(), "--"}, {}, errors,
                    {"--terminal", "c.txt", "gone.txt"});
    EXPECT_EQ(missing.wait(5s), 2);
    std::stringstream told;
    told << std::ifstream(errors).rdbuf();
    EXPECT_EQ(told.str().rfind("skiff: không tìm thấy: gone.txt\n", 0), 0u) << told.str();

    std::string present = "file://" + (folder / "c.txt").string();
    auto [code, output] = bus.call("Open", "\"['" + present + "', 'file:///no/such/file']\" '{}'");
    EXPECT_NE(code, 0);
    EXPECT_NE(output.find("không tìm thấy: /no/such/file"), std::string::npos) << output;
    auto [webCode, webOutput] = bus.call("Open", "\"['https://example.invalid/x']\" '{}'");
    EXPECT_NE(webCode, 0) << webOutput;

    EXPECT_EQ(sharedNames(first, started), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(first.interrupt(), 0);
}

// Without a session bus, the lock file keeps a second server from starting, in the runtime
// folder or, without one, beside the settings; it goes with the program that held it.
TEST(Program, WithoutASessionBusASecondServerIsRefused) {
    for (std::string runtime : {"set", "unset"}) {
        SCOPED_TRACE("XDG_RUNTIME_DIR " + runtime);
        TempDir home;
        std::vector<std::pair<std::string, std::string>> environment;
        if (runtime == "unset") environment.emplace_back("XDG_RUNTIME_DIR", "");
        auto launch = [&](std::vector<std::string> arguments) {
            return std::make_unique<Program>(home.path(), std::vector<std::string>{}, environment,
                                             fs::path(), std::move(arguments));
        };
        auto first = launch({"--terminal"});
        ASSERT_NE(readStart(*first).port, 0);
        auto second = launch({"--terminal", home.path().string()});
        std::string line = second->line();
        EXPECT_EQ(line.rfind("Skiff đang chạy rồi, nhưng không có D-Bus phiên", 0), 0u) << line;
        fs::path lock = runtime == "set" ? home.path() / "run" : home.path() / ".config" / "Skiff";
        EXPECT_NE(line.find((lock / "io.github.skiff.Skiff.lock").string()), std::string::npos)
            << line;
        EXPECT_EQ(second->wait(5s), 1);

        // A launch on a bus the first is not on owns the name there, and still stops.
        SessionBus other(home.path() / "other" / "bus");
        ASSERT_TRUE(other.running());
        auto onOther = environment;
        onOther.emplace_back("DBUS_SESSION_BUS_ADDRESS",
                             "unix:path=" + (home.path() / "other" / "bus").string());
        Program elsewhere(home.path(), {}, onOther, {}, {"--terminal"});
        line = elsewhere.line();
        EXPECT_EQ(line.rfind("Skiff đang chạy rồi nhưng không ở trên D-Bus phiên này", 0), 0u)
            << line;
        EXPECT_EQ(elsewhere.wait(5s), 1);
        EXPECT_EQ(first->interrupt(), 0);

        auto third = launch({"--terminal"});
        EXPECT_NE(readStart(*third).port, 0);
        EXPECT_EQ(third->interrupt(), 0);
    }
}

}  // namespace
}  // namespace skiff::test
