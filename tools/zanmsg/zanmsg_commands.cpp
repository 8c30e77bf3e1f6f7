#include "zanmsg_commands.h"

#include <poll.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/endpoints.h"
#include "platform/unique_fd.h"

namespace zan::zanmsg {
namespace {

std::string Describe(std::string_view windowClass, std::optional<std::string_view> title) {
    std::string text = "class \"" + std::string(windowClass) + "\"";
    text += title ? " and title \"" + std::string(*title) + "\"" : std::string(" (any title)");
    return text;
}

int ReportEndpointError(const EndpointError& error) {
    Complain(error.message);
    return ExitEndpointError;
}

// The window, or the exit status that explains why there is none.
struct Lookup {
    std::optional<WindowRef> window;
    int status = ExitOk;
};

Lookup FindOrExplain(std::string_view windowClass, std::optional<std::string_view> title) {
    LinuxWindowSystem windows;
    auto found = windows.Find(windowClass, title);
    if (!found.ok()) {
        return {std::nullopt, ReportEndpointError(found.error())};
    }
    if (!found.value()) {
        Complain("no window with " + Describe(windowClass, title));
        return {std::nullopt, ExitNoWindow};
    }
    return {found.value(), ExitOk};
}

class SignalFd {
public:
    // The signals are blocked first, so that one arriving before the loop
    // waits for it instead of ending the process with the endpoint left.
    SignalFd() {
        sigset_t signals;
        sigemptyset(&signals);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&signals, signal);
        }
        if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) == 0) {
            fd_.Reset(signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
        }
    }
    int fd() const { return fd_.get(); }

private:
    UniqueFd fd_;
};

bool PrintMessage(const WindowMessage& message) {
    const int written = std::printf("%u %llu %lld\n", static_cast<unsigned>(message.message),
                                    static_cast<unsigned long long>(message.wParam),
                                    static_cast<long long>(message.lParam));
    return written > 0 && std::fflush(stdout) == 0;
}

// Prints every waiting message; false when standard output failed.
bool Drain(OwnedEndpoint& endpoint) {
    while (const auto message = endpoint.Receive()) {
        if (!PrintMessage(*message)) {
            return false;
        }
    }
    return true;
}

int Listen(OwnedEndpoint& endpoint, const SignalFd& signals) {
    std::array<pollfd, 2> watched{{{endpoint.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}}};
    for (;;) {
        if (poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            Complain("waiting for messages: " + std::generic_category().message(errno));
            return ExitEndpointError;
        }
        // Messages first: one posted just before the signal is still shown.
        if (watched[0].revents != 0 && !Drain(endpoint)) {
            Complain("cannot write to standard output");
            return ExitOutputFailed;
        }
        if (watched[1].revents != 0) {
            return ExitOk;
        }
    }
}

}  // namespace

void Complain(const std::string& text) {
    const std::string line = "zanmsg: " + text + "\n";
    // Standard error is the last place to report to; when it fails there is
    // nobody left to tell.
    static_cast<void>(std::fputs(line.c_str(), stderr));
}

int RunPost(std::string_view windowClass, std::optional<std::string_view> title,
            const WindowMessage& message) {
    const Lookup lookup = FindOrExplain(windowClass, title);
    if (!lookup.window) {
        return lookup.status;
    }
    LinuxWindowSystem windows;
    if (!windows.PostMessage(*lookup.window, message)) {
        Complain("window " + lookup.window->name +
                 " did not take the message (it closed, or its queue stayed full)");
        return ExitNoWindow;
    }
    return ExitOk;
}

int RunFind(std::string_view windowClass, std::optional<std::string_view> title) {
    const Lookup lookup = FindOrExplain(windowClass, title);
    if (!lookup.window) {
        return lookup.status;
    }
    if (std::printf("%s\n", lookup.window->name.c_str()) < 0 || std::fflush(stdout) != 0) {
        return ExitOutputFailed;
    }
    return ExitOk;
}

int RunListen(std::string_view windowClass, std::string_view title) {
    // A reader that goes away must end the loop through a write error, not
    // kill the process before it removes its endpoint.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
        Complain("cannot ignore SIGPIPE: " + std::generic_category().message(errno));
        return ExitEndpointError;
    }
    const SignalFd signals;
    if (signals.fd() < 0) {
        Complain("cannot watch for signals: " + std::generic_category().message(errno));
        return ExitEndpointError;
    }
    auto created = OwnedEndpoint::Create(windowClass, title);
    if (!created.ok()) {
        return ReportEndpointError(created.error());
    }
    OwnedEndpoint& endpoint = created.value();
    // Scripts wait for this line; without it they could not know when to post.
    if (std::fprintf(stderr, "listening on %s\n", endpoint.name().c_str()) < 0) {
        return ExitOutputFailed;
    }
    return Listen(endpoint, signals);
}

}  // namespace zan::zanmsg
