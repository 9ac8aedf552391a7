#include "server/computer_name.hpp"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <string>

#include "support/temp_dir.hpp"

namespace skiff::server {
namespace {

// The pretty host name from a machine-info file; the system's host name when there is none.
TEST(ComputerName, ReadsThePrettyHostNameOrFallsBack) {
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / "machine-info";
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const std::string host = names.nodename;
    const std::pair<const char*, std::string> rows[] = {
        {"PRETTY_HOSTNAME=Desk\n", "Desk"},
        {"PRETTY_HOSTNAME=Desk", "Desk"},
        {"PRETTY_HOSTNAME=Lan's desk  \t\n", "Lan's desk"},
        {"PRETTY_HOSTNAME=\"Máy của Lan\"\n", "Máy của Lan"},
        {"PRETTY_HOSTNAME='Máy của Lan'\n", "Máy của Lan"},
        {"PRETTY_HOSTNAME=\"Lan's \\\"work\\\" PC \\\\ \\$HOME\"\n", "Lan's \"work\" PC \\ $HOME"},
        {"PRETTY_HOSTNAME=\"keeps \\n as is\"\n", "keeps \\n as is"},
        {"PRETTY_HOSTNAME='no \\escapes'\n", "no \\escapes"},
        {"PRETTY_HOSTNAME=Back\\ slash\\\\ed\n", "Back slash\\ed"},
        {"PRETTY_HOSTNAME=\"  padded  \"\n", "  padded  "},
        {"PRETTY_HOSTNAME=\"Two\" 'Parts'\n", "TwoParts"},
        {"PRETTY_HOSTNAME=\"line\\\ncontinued\"\n", "linecontinued"},
        {"  PRETTY_HOSTNAME = Spaced\n", "Spaced"},
        {"PRETTY_HOSTNAME=Windows line\r\nICON_NAME=computer\r\n", "Windows line"},
        {"ICON_NAME=computer-laptop\nCHASSIS=laptop\nPRETTY_HOSTNAME=Last\n", "Last"},
        {"# PRETTY_HOSTNAME=Commented\n; PRETTY_HOSTNAME=Also\nPRETTY_HOSTNAME=Real\n", "Real"},
        {"PRETTY_HOSTNAME=First\nPRETTY_HOSTNAME=Second\n", "Second"},
        {"PRETTY_HOSTNAME=\"unterminated", "unterminated"},
        {"PRETTY_HOSTNAME=Bad \xff byte\n", "Bad \xef\xbf\xbd byte"},
        {"", host},
        {"ICON_NAME=computer-desktop\n", host},
        {"PRETTY_HOSTNAME=\n", host},
        {"PRETTY_HOSTNAME=\"\"\n", host},
        {"# PRETTY_HOSTNAME=Commented\n", host},
        {"PRETTY_HOSTNAMEX=Near miss\n", host}};
    for (const auto& [text, name] : rows) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(computerName(file), name) << text;
    }
    EXPECT_EQ(computerName(dir.path() / "absent"), host);
}

}  // namespace
}  // namespace skiff::server
