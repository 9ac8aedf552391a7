#include "app/app_model.hpp"
#include "app/firewall_state.hpp"
#include "app/interface_list.hpp"
#include "media/thumb_store.hpp"

namespace skiff::app {

DesktopServices DesktopServices::system() {
    DesktopServices services;
    services.listInterfaces = [] { return app::listInterfaces(); };
    services.firewallState = [] { return app::readFirewall(); };
    services.prefetch = [](const std::filesystem::path& file) {
        media::ThumbStore::shared().prefetch(file);
    };
    return services;
}

}  // namespace skiff::app
