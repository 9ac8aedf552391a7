#include "app/error_text.hpp"

#include <asio/error.hpp>

#include <cerrno>

namespace skiff::app {

QString errorReason(std::error_code error) {
    const std::error_category& category = error.category();
    bool fromSystem = category == std::system_category() || category == std::generic_category() ||
                      category == asio::error::get_system_category();
    if (fromSystem) {
        switch (error.value()) {
            case EADDRINUSE:
                return "cổng đang được chương trình khác dùng";
            case EACCES:
            case EPERM:
                return "không đủ quyền";
            case EADDRNOTAVAIL:
                return "địa chỉ này không có trên máy tính";
            case EMFILE:
            case ENFILE:
                return "quá nhiều file đang mở";
            case ENOMEM:
            case ENOBUFS:
                return "không đủ bộ nhớ";
            case ENOSPC:
            case EDQUOT:
                return "ổ đĩa đã đầy";
            case EROFS:
                return "ổ đĩa chỉ cho phép đọc";
            case ENOENT:
                return "không tìm thấy thư mục";
            case ENOTDIR:
                return "một phần của đường dẫn không phải là thư mục";
            case EEXIST:
                return "đã có một file trùng tên";
            case EAFNOSUPPORT:
                return "máy tính không hỗ trợ loại địa chỉ này";
        }
    }
    return "lỗi hệ thống số " + QString::number(error.value());
}

}  // namespace skiff::app
