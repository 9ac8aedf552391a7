#include "server/computer_name.hpp"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <string>

#include "support/temp_dir.hpp"

namespace skiff::server {
namespace {

class ComputerName : public testing::Test {
  protected:
    std::filesystem::path machineInfo(const std::string& text) {
        std::filesystem::path file = m_dir.path() / "machine-info";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        return file;
    }

    static std::string systemHostName() {
        utsname names{};
        if (uname(&names) != 0) return {};
        return names.nodename;
    }

    test::TempDir m_dir;
};

TEST_F(ComputerName, ReadsThePrettyHostName) {
    struct Row {
        const char* text;
        const char* name;
    };
    const Row rows[] = {
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(computerName(machineInfo(row.text)), row.name);
    }
}

TEST_F(ComputerName, FallsBackToTheHostName) {
    std::string host = systemHostName();
    ASSERT_FALSE(host.empty());
    const char* const texts[] = {
        "",
        "ICON_NAME=computer-desktop\n",
        "PRETTY_HOSTNAME=\n",
        "PRETTY_HOSTNAME=\"\"\n",
        "# PRETTY_HOSTNAME=Commented\n",
        "PRETTY_HOSTNAMEX=Near miss\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(computerName(machineInfo(text)), host);
    }
    EXPECT_EQ(computerName(m_dir.path() / "absent"), host);
}

}  // namespace
}  // namespace skiff::server
