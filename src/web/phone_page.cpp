#include "web/phone_page.hpp"

#include <cstddef>

namespace skiff::web {

extern const unsigned char phonePageBytes[];
extern const std::size_t phonePageBytes_size;

std::string_view phonePage() {
    return {reinterpret_cast<const char*>(phonePageBytes), phonePageBytes_size};
}

}  // namespace skiff::web
