#pragma once
// The three things zanmsg does. Each prints its own diagnostics and returns
// the process exit status.

#include <optional>
#include <string>
#include <string_view>

#include "platform/window_system.h"

namespace zan::zanmsg {

enum ExitStatus : int {
    ExitOk = 0,
    ExitNoWindow = 1,
    ExitUsage = 2,
    ExitEndpointError = 3,
    ExitOutputFailed = 4,
};

// Writes "zanmsg: TEXT" as one line to standard error.
void Complain(const std::string& text);

// title nullopt: any title.
int RunPost(std::string_view windowClass, std::optional<std::string_view> title,
            const WindowMessage& message);
int RunFind(std::string_view windowClass, std::optional<std::string_view> title);
// Returns after SIGINT, SIGTERM or SIGHUP, with the endpoint removed.
int RunListen(std::string_view windowClass, std::string_view title);

}  // namespace zan::zanmsg
