#include "host_commands.h"

#include "service_constants.h"

zan::WindowMessage HostCommandMessage(std::int32_t code) {
    return zan::WindowMessage{MSG_HOST_COMMAND, static_cast<std::uint32_t>(code), 0};
}

void PostHostCommand(zan::WindowSystem& windows, std::int32_t code) {
    PostHostCommands(windows, {code});
}

void PostHostCommands(zan::WindowSystem& windows, std::initializer_list<std::int32_t> codes) {
    const std::optional<zan::WindowRef> relays[] = {
        windows.FindWindow(HOST_WINDOWS.host1Relay.windowClass, HOST_WINDOWS.host1Relay.title),
        windows.FindWindow(HOST_WINDOWS.host2Relay.windowClass, HOST_WINDOWS.host2Relay.title),
    };
    for (const auto& relay : relays) {
        if (!relay) {
            continue;
        }
        for (const std::int32_t code : codes) {
            // A relay that vanished since the look-up just misses the rest;
            // nobody is waiting for an answer.
            windows.PostMessage(*relay, HostCommandMessage(code));
        }
    }
}
