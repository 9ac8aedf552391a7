#include "app/command_line.hpp"

namespace skiff::app {

const char* const usageText =
    "Cách dùng: skiff [--terminal] [--port SỐ] [FILE hoặc THƯ MỤC...]\n"
    "\n"
    "Mở máy chủ nội bộ để điện thoại trong cùng mạng gửi file sang máy này và tải các file\n"
    "được chia sẻ. Quét mã QR hoặc mở địa chỉ in ra bằng trình duyệt trên điện thoại.\n"
    "\n"
    "Các file và thư mục ghi sau lệnh được chia sẻ cho điện thoại.\n"
    "Khi có thiết bị mới xin kết nối: gõ c (hoặc y) để cho phép, k (hoặc n) để từ chối.\n"
    "Ctrl-C để dừng.\n"
    "\n"
    "  --terminal  chạy trong cửa sổ dòng lệnh kể cả khi có màn hình\n"
    "  --port SỐ   mở máy chủ ở cổng này (mặc định: cổng của lần chạy trước)\n"
    "  --help      hiện hướng dẫn này\n"
    "  --version   hiện phiên bản\n";

namespace {

// A port number from 1 to 65535, digits only.
std::optional<std::uint16_t> portNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int number = std::stoi(text);
    if (number < 1 || number > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(number);
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (argument == "--terminal") {
            line.terminal = true;
        } else if (argument == "--port" || argument.starts_with("--port=")) {
            std::string value =
                argument == "--port" ? (i + 1 < argc ? argv[++i] : "") : argument.substr(7);
            line.port = portNumber(value);
            if (!line.port) {
                line.error = "số cổng không hợp lệ: “" + value + "” (cần một số từ 1 đến 65535)";
                return line;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            line.error = "tuỳ chọn không hợp lệ: " + argument;
            return line;
        } else {
            std::error_code error;
            if (!std::filesystem::exists(argument, error)) {
                line.error = "không tìm thấy: " + argument;
                return line;
            }
            line.toShare.push_back(std::filesystem::absolute(argument));
        }
    }
    return line;
}

}  // namespace skiff::app
