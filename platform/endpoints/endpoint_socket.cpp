#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "endpoint_detail.h"

namespace zan::endpoint_detail {

EndpointResult<SocketAddress> SocketAddressFor(const std::string& path) {
    SocketAddress result;
    // sun_path needs room for the terminating NUL.
    if (path.size() >= sizeof(result.address.sun_path)) {
        return EndpointError{EndpointErrorKind::NameTooLong,
                             "endpoint path " + path + " is " + std::to_string(path.size()) +
                                 " bytes long; a socket path holds at most " +
                                 std::to_string(sizeof(result.address.sun_path) - 1) +
                                 " (use a shorter class or title)"};
    }
    result.address.sun_family = AF_UNIX;
    std::memcpy(result.address.sun_path, path.c_str(), path.size() + 1);
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return result;
}

bool IsPlainEndpointName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

Liveness ProbeEndpoint(const SocketAddress& address) {
    const UniqueFd probe(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe.valid()) {
        return Liveness::Unreachable;
    }
    const auto* generic = reinterpret_cast<const sockaddr*>(&address.address);
    if (::connect(probe.get(), generic, address.length) == 0) {
        return Liveness::Live;
    }
    switch (errno) {
        case ECONNREFUSED:
            return Liveness::Stale;
        case ENOENT:
            return Liveness::Gone;
        default:
            return Liveness::Unreachable;
    }
}

bool PostDatagram(const SocketAddress& address, std::span<const std::uint8_t> bytes) {
    const UniqueFd sender(::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!sender.valid()) {
        return false;
    }
    // Connected, so that poll() tells when this receiver's queue has room,
    // and a receiver that is gone, or goes during the wait, fails the
    // connect or the send at once instead of being waited for.
    const auto* generic = reinterpret_cast<const sockaddr*>(&address.address);
    if (::connect(sender.get(), generic, address.length) != 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + POST_WAIT_LIMIT;
    for (;;) {
        const ssize_t sent = ::send(sender.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            return static_cast<std::size_t>(sent) == bytes.size();
        }
        if (errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd room{sender.get(), POLLOUT, 0};
        if (::poll(&room, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace zan::endpoint_detail
