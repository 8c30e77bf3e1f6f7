// zanmsg: posts to, finds and plays window endpoints from a shell.

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "zanmsg_commands.h"
#include "zanmsg_numbers.h"

namespace {

using zan::zanmsg::ExitUsage;

constexpr const char* HELP =
    "Usage:\n"
    "  zanmsg post CLASS TITLE MESSAGE [WPARAM [LPARAM]]\n"
    "      Post one message to the window CLASS/TITLE. TITLE '-' means any title\n"
    "      (the first live window of CLASS in name order). Numbers are decimal or\n"
    "      0x-prefixed hexadecimal: MESSAGE up to 0xFFFFFFFF, WPARAM up to\n"
    "      0xFFFFFFFFFFFFFFFF, LPARAM a signed 64-bit value (may be negative).\n"
    "      WPARAM and LPARAM default to 0.\n"
    "  zanmsg find CLASS [TITLE]\n"
    "      Print the endpoint name of the window CLASS/TITLE; without TITLE, or\n"
    "      with '-', the first live window of CLASS in name order.\n"
    "  zanmsg listen CLASS TITLE\n"
    "      Open the window CLASS/TITLE and print one line \"MESSAGE WPARAM LPARAM\"\n"
    "      (decimal) per message received, until SIGINT, SIGTERM or SIGHUP, which\n"
    "      close the window and remove its endpoint. Prints \"listening on NAME\"\n"
    "      to standard error once the window is open. TITLE is taken as written.\n"
    "  zanmsg --help\n"
    "\n"
    "Windows are datagram sockets in $XDG_RUNTIME_DIR/zansoftware/windows/\n"
    "(without XDG_RUNTIME_DIR: /tmp/zansoftware-<uid>/windows/), named\n"
    "CLASS@TITLE with bytes outside [A-Za-z0-9._-] written as %XX.\n"
    "\n"
    "Exit status:\n"
    "  0  posted / found / listened until a signal\n"
    "  1  no such window, or it did not take the message\n"
    "  2  usage error\n"
    "  3  endpoint error: the window folder is unsafe or cannot be made, the\n"
    "     name is too long or already taken, a socket operation failed\n"
    "  4  writing the output failed\n";

int UsageError(const char* problem) {
    zan::zanmsg::Complain(std::string(problem) + "\nTry 'zanmsg --help'.");
    return ExitUsage;
}

std::optional<std::string_view> AnyTitleIfDash(std::string_view title) {
    if (title == "-") {
        return std::nullopt;
    }
    return title;
}

int Post(std::span<char*> arguments) {
    if (arguments.size() < 3 || arguments.size() > 5) {
        return UsageError("post takes CLASS TITLE MESSAGE [WPARAM [LPARAM]]");
    }
    zan::WindowMessage message;
    const auto number = zan::zanmsg::ParseUnsigned(arguments[2], 0xFFFFFFFFU);
    if (!number) {
        return UsageError("MESSAGE must be a number from 0 to 0xFFFFFFFF");
    }
    message.message = static_cast<std::uint32_t>(*number);
    if (arguments.size() > 3) {
        const auto wParam = zan::zanmsg::ParseUnsigned(arguments[3], UINT64_MAX);
        if (!wParam) {
            return UsageError("WPARAM must be a number from 0 to 0xFFFFFFFFFFFFFFFF");
        }
        message.wParam = *wParam;
    }
    if (arguments.size() > 4) {
        const auto lParam = zan::zanmsg::ParseSigned(arguments[4]);
        if (!lParam) {
            return UsageError("LPARAM must be a signed 64-bit number");
        }
        message.lParam = *lParam;
    }
    return zan::zanmsg::RunPost(arguments[0], AnyTitleIfDash(arguments[1]), message);
}

int Find(std::span<char*> arguments) {
    if (arguments.empty() || arguments.size() > 2) {
        return UsageError("find takes CLASS [TITLE]");
    }
    const auto title =
        arguments.size() == 2 ? AnyTitleIfDash(arguments[1]) : std::optional<std::string_view>();
    return zan::zanmsg::RunFind(arguments[0], title);
}

int Listen(std::span<char*> arguments) {
    if (arguments.size() != 2) {
        return UsageError("listen takes CLASS TITLE");
    }
    return zan::zanmsg::RunListen(arguments[0], arguments[1]);
}

}  // namespace

int main(int argc, char** argv) {
    const std::span<char*> arguments(argv, static_cast<std::size_t>(argc));
    if (arguments.size() < 2) {
        return UsageError("a command is needed: post, find or listen");
    }
    const std::string_view command = arguments[1];
    const auto rest = arguments.subspan(2);
    if (command == "--help" || command == "-h") {
        const bool written = std::fputs(HELP, stdout) >= 0 && std::fflush(stdout) == 0;
        return written ? zan::zanmsg::ExitOk : zan::zanmsg::ExitOutputFailed;
    }
    if (command == "post") {
        return Post(rest);
    }
    if (command == "find") {
        return Find(rest);
    }
    if (command == "listen") {
        return Listen(rest);
    }
    return UsageError("unknown command; use post, find or listen");
}
