#include "app/command_line.hpp"

namespace skiff::app {

const char* const usageText =
    "Cách dùng: skiff [--terminal] [FILE hoặc THƯ MỤC...]\n"
    "\n"
    "Mở máy chủ nội bộ để điện thoại trong cùng mạng gửi file sang máy này và tải các file\n"
    "được chia sẻ. Quét mã QR hoặc mở địa chỉ in ra bằng trình duyệt trên điện thoại.\n"
    "\n"
    "Các file và thư mục ghi sau lệnh được chia sẻ cho điện thoại.\n"
    "Khi có thiết bị mới xin kết nối: gõ c (hoặc y) để cho phép, k (hoặc n) để từ chối.\n"
    "Ctrl-C để dừng.\n"
    "\n"
    "  --terminal  chạy trong cửa sổ dòng lệnh kể cả khi có màn hình\n"
    "  --help      hiện hướng dẫn này\n"
    "  --version   hiện phiên bản\n";

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
