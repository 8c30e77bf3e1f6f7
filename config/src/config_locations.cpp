#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "config/config_document.h"
#include "location_rule.h"

namespace {

std::filesystem::path RunningProgramFolder() {
    std::vector<char> buffer(1024);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::filesystem::path(
                       std::string(buffer.data(), static_cast<std::size_t>(length)))
                .parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

// secure_getenv: a program running with raised privileges must not let its
// caller's environment choose which file it reads and writes.
std::string Environment(const char* name) {
    const char* value = ::secure_getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::filesystem::path HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    // Services started without a login environment may lack HOME.
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr) {
        return result->pw_dir;
    }
    return {};
}

}  // namespace

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

ConfigLocations ConfigLocations::ForThisProcess() {
    return {RunningProgramFolder(),
            zan::config::ApplicationDataFolder(Environment("XDG_CONFIG_HOME"), HomeFolder())};
}

bool IsUserAdministrator() {
    return ::geteuid() == 0;
}
