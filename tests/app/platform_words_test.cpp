// Skiff runs on Linux: no text it shows may call the computer a Mac. Apple's names stay where
// they name Apple's things: a peer that says it is a Mac, the iPhone's own menu.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

const char* const kAllowed[] = {"Máy Mac", "Chuyển sang Mac hoặc PC"};

// The text without its comments: /* */, <!-- -->, and // that starts a line or follows a blank
// (so "http://" stays).
std::string withoutComments(std::string text) {
    for (auto [open, close] : {std::pair{"/*", "*/"}, std::pair{"<!--", "-->"}}) {
        for (std::size_t at; (at = text.find(open)) != std::string::npos;) {
            std::size_t end = text.find(close, at);
            end = end == std::string::npos ? text.size() : end + std::string(close).size();
            // Keep the line breaks so that line numbers stay right.
            std::string kept;
            for (std::size_t i = at; i < end; ++i)
                if (text[i] == '\n') kept += '\n';
            text.replace(at, end - at, kept);
        }
    }
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (std::size_t at = 0; (at = line.find("//", at)) != std::string::npos; at += 2)
            if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') {
                line.resize(at);
                break;
            }
        kept += line + '\n';
    }
    return kept;
}

// "line: text" for each platform word left outside comments and the allowed names.
std::vector<std::string> platformWords(const std::string& source) {
    std::string text = withoutComments(source);
    for (const char* allowed : kAllowed)
        for (std::size_t at; (at = text.find(allowed)) != std::string::npos;)
            text.replace(at, std::string(allowed).size(), "");
    static const std::regex word("\\b(Mac|MacBook|macOS|Finder)\\b");
    std::vector<std::string> found;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        bool maybe = line.find("Mac") != std::string::npos ||
                     line.find("macOS") != std::string::npos ||
                     line.find("Finder") != std::string::npos;
        if (maybe && std::regex_search(line, word))
            found.push_back(std::to_string(number) + ": " + line);
    }
    return found;
}

TEST(PlatformWords, TheScanSeesTextsAndSkipsCommentsAndAppleNames) {
    EXPECT_EQ(platformWords("say(\"Gửi lên Mac\");").size(), 1u);
    EXPECT_EQ(platformWords("<h1>Mở Finder</h1>\ntext: \"MacBook này\"").size(), 2u);
    EXPECT_TRUE(platformWords("// the Mac\n/* macOS */ <!-- Finder --> x // Mac").empty());
    EXPECT_TRUE(platformWords("\"Máy Mac\" \"Macintosh\" BlinkMacSystemFont").empty());
    EXPECT_EQ(platformWords("a\n/* one\ntwo */\n\"Mac\"")[0].substr(0, 2), "4:");
}

TEST(PlatformWords, NoSourceTextCallsTheComputerAMac) {
    std::size_t scanned = 0;
    for (const auto& entry : fs::recursive_directory_iterator(SKIFF_SOURCE_DIR)) {
        std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() ||
            (extension != ".cpp" && extension != ".hpp" && extension != ".qml" &&
             extension != ".html" && extension != ".js"))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string source((std::istreambuf_iterator<char>(in)), {});
        for (const std::string& hit : platformWords(source))
            ADD_FAILURE() << fs::relative(entry.path(), SKIFF_SOURCE_DIR).string() << ":" << hit;
        ++scanned;
    }
    EXPECT_GT(scanned, 100u);  // the whole tree, not an empty folder
}

}  // namespace
}  // namespace skiff::test
