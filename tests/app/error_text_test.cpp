#include <gtest/gtest.h>

#include <asio/error.hpp>

#include "app/port_memory.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

// What a failed start says reaches the user: it is Vietnamese whatever the error's source.
TEST(StartError, SaysWhyInVietnamese) {
    const std::pair<std::error_code, const char*> rows[] = {
        {std::make_error_code(std::errc::address_not_available),
         "Không mở được máy chủ nội bộ: địa chỉ này không có trên máy tính"},
        {asio::error::no_descriptors, "Không mở được máy chủ nội bộ: quá nhiều file đang mở"},
        {std::error_code(EHOSTDOWN, std::system_category()),
         "Không mở được máy chủ nội bộ: lỗi hệ thống số 112"},
        // Another category's number is not an errno (1 would read as EPERM).
        {asio::error::already_open, "Không mở được máy chủ nội bộ: lỗi hệ thống số 1"},
    };
    for (const auto& [error, text] : rows) {
        SCOPED_TRACE(error.message());
        EXPECT_EQ(listenErrorText(error, std::nullopt), QString::fromUtf8(text));
    }
    // A port asked for by number that is taken gets the advice to choose another.
    EXPECT_TRUE(listenErrorText(asio::error::address_in_use, 8080).startsWith("Cổng 8080 "));
}

// The stored port is the settings file's; anything but 1 to 65535 there means none.
TEST(PortMemory, OnlyAPortFrom1To65535IsUsed) {
    test::TempDir dir;
    QSettings settings(QString::fromStdString((dir.path() / "s.ini").string()),
                       QSettings::IniFormat);
    const std::pair<const char*, std::optional<std::uint16_t>> rows[] = {{"1", 1},
                                                                         {"65535", 65535},
                                                                         {"0", std::nullopt},
                                                                         {"-5", std::nullopt},
                                                                         {"65536", std::nullopt},
                                                                         {"80a", std::nullopt}};
    for (const auto& [value, want] : rows) {
        settings.setValue("port", value);
        EXPECT_EQ(storedPort(settings), want) << value;
    }
}

}  // namespace
}  // namespace skiff::app
