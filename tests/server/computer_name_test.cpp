#include "server/computer_name.hpp"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <string>

#include "support/temp_dir.hpp"

namespace skiff::server {
namespace {

TEST(ComputerName, ReadsThePrettyHostNameOrFallsBack) {
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / "machine-info";
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const std::string host = names.nodename;
    // Each "@" stands for PRETTY_HOSTNAME.
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {"@=Desk\n", "Desk"}, {"@=Desk", "Desk"}, {"@=Lan's desk  \t\n", "Lan's desk"},
        {"@=\"Máy của Lan\"\n", "Máy của Lan"},
        {"@=\"Lan's \\\"work\\\" PC \\\\ \\$HOME\"\n", "Lan's \"work\" PC \\ $HOME"},
        {"@=\"keeps \\n as is\"\n", "keeps \\n as is"}, {"@='no \\escapes'\n", "no \\escapes"},
        {"@=Back\\ slash\\\\ed\n", "Back slash\\ed"}, {"@=\"  padded  \"\n", "  padded  "},
        {"@=\"Two\" 'Parts'\n", "TwoParts"}, {"@=\"line\\\ncontinued\"\n", "linecontinued"},
        {"  @ = Spaced\n", "Spaced"}, {"@=Windows line\r\nICON_NAME=computer\r\n", "Windows line"},
        {"ICON_NAME=computer-laptop\nCHASSIS=laptop\n@=Last\n", "Last"},
        {"# @=Commented\n; @=Also\n@=Real\n", "Real"}, {"@=First\n@=Second\n", "Second"},
        {"@=\"unterminated", "unterminated"}, {"@=Bad \xff byte\n", "Bad \xef\xbf\xbd byte"},
        {"", host}, {"@=\n", host}, {"@=\"\"\n", host}, {"# @=Commented\n", host},
        {"@X=Near miss\n", host}};
    // clang-format on
    for (auto [text, name] : rows) {
        for (std::size_t at; (at = text.find('@')) != std::string::npos;)
            text.replace(at, 1, "PRETTY_HOSTNAME");
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(computerName(file), name) << text;
    }
    EXPECT_EQ(computerName(dir.path() / "absent"), host);
}

}  // namespace
}  // namespace skiff::server
