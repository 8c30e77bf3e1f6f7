#include "config/config_locations.h"

#include "location_rule.h"
#include "platform/files.h"

namespace zan::config {

std::filesystem::path ApplicationDataFolder(const std::filesystem::path& xdgConfigHome,
                                            const std::filesystem::path& home) {
    // A relative XDG_CONFIG_HOME is invalid and is to be ignored.
    if (xdgConfigHome.is_absolute()) {
        return xdgConfigHome;
    }
    return home.empty() ? std::filesystem::path() : home / ".config";
}

}  // namespace zan::config

ConfigLocations ConfigLocations::From(zan::Files& files) {
    return {files.ProgramFolder(),
            zan::config::ApplicationDataFolder(files.XdgConfigHome(), files.HomeFolder())};
}

ConfigLocations ConfigLocations::ForThisProcess() {
    return From(zan::SystemFiles());
}
