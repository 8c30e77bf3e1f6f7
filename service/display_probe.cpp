#include "display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <QString>
#include <QtGlobal>
#include <cstring>
#include <memory>
#include <string>

#include "platform/unique_fd.h"

namespace {

bool WaylandReachable() {
    std::string path = qEnvironmentVariable("WAYLAND_DISPLAY").toStdString();
    if (path.empty()) {
        return false;
    }
    if (path.front() != '/') {
        const std::string runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString();
        if (runtimeDir.empty()) {
            return false;
        }
        path = runtimeDir + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    zan::UniqueFd socketFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return socketFd && ::connect(socketFd.get(), reinterpret_cast<const sockaddr*>(&address),
                                 sizeof address) == 0;
}

bool X11Reachable() {
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    if (display.empty()) {
        return false;
    }
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(display.c_str(), nullptr), &xcb_disconnect);
    return connection && xcb_connection_has_error(connection.get()) == 0;
}

}  // namespace

bool DisplayReachable() {
    return WaylandReachable() || X11Reachable();
}
