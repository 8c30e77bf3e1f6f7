#include <sys/socket.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "endpoint_detail.h"

namespace zan {
namespace {

using endpoint_detail::Liveness;

bool IsLive(const std::string& path) {
    const auto address = endpoint_detail::SocketAddressFor(path);
    return address.ok() && endpoint_detail::ProbeEndpoint(address.value()) == Liveness::Live;
}

// Names in byte order, so "any title" picks the same window every time.
// An unreadable folder lists nothing.
std::vector<std::string> NamesWithPrefix(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = entry->path().filename().string();
        if (name.starts_with(prefix)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<WindowRef> FirstLiveOfClass(const std::string& folder, std::string_view windowClass) {
    // The class's '@' is escaped, so this prefix never matches a longer class.
    const std::string prefix = EscapeEndpointText(windowClass) + "@";
    for (const std::string& name : NamesWithPrefix(folder, prefix)) {
        std::string path = folder;
        path.append("/").append(name);
        if (IsLive(path)) {
            return WindowRef{name};
        }
    }
    return std::nullopt;
}

}  // namespace

EndpointFolder LinuxWindowSystem::Folder() const {
    return folder_ ? *folder_ : EndpointFolder::FromEnvironment();
}

EndpointResult<std::optional<WindowRef>> LinuxWindowSystem::Find(
    std::string_view windowClass, std::optional<std::string_view> title) {
    const EndpointFolder folder = Folder();
    const auto state = endpoint_detail::InspectFolder(folder);
    if (!state.ok()) {
        return state.error();
    }
    if (state.value() == endpoint_detail::FolderState::Missing) {
        return std::optional<WindowRef>();
    }
    if (!title) {
        return FirstLiveOfClass(folder.path, windowClass);
    }
    std::string name = EndpointName(windowClass, *title);
    if (!IsLive(folder.path + "/" + name)) {
        return std::optional<WindowRef>();
    }
    return std::optional<WindowRef>(WindowRef{std::move(name)});
}

std::optional<WindowRef> LinuxWindowSystem::FindWindow(std::string_view windowClass,
                                                       std::optional<std::string_view> title) {
    auto found = Find(windowClass, title);
    return found.ok() ? found.value() : std::nullopt;
}

bool LinuxWindowSystem::PostMessage(const WindowRef& window, const WindowMessage& message) {
    if (!endpoint_detail::IsPlainEndpointName(window.name)) {
        return false;
    }
    const auto address = endpoint_detail::SocketAddressFor(Folder().path + "/" + window.name);
    if (!address.ok()) {
        return false;
    }
    return endpoint_detail::PostDatagram(address.value(), EncodeWindowMessage(message));
}

}  // namespace zan
