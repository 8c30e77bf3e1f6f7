#pragma once
// Commands to the host applications (the whiteboard programs Vellum and
// Tadpole). Each host has a relay window that takes MSG_HOST_COMMAND with the
// command code in wParam and 0 in lParam; nothing answers. A host that is
// not running has no relay window and is skipped.
//
// The relay windows are looked up again for every call: hosts start and end
// while the service runs. Safe on any thread that may use the WindowSystem
// (all of them).

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "platform/window_system.h"

struct HostWindow {
    std::string_view windowClass;
    std::optional<std::string_view> title;  // nullopt: any title
};

struct HostWindowTable {
    HostWindow host1Relay;
    HostWindow host2Relay;
    HostWindow host1Main;  // only tested for existence
    HostWindow host2Main;  // only tested for existence
};

inline constexpr HostWindowTable HOST_WINDOWS = {
    .host1Relay = {"TfrmForward", "Vellum"},
    .host2Relay = {"TfrmTadpoleForward", "ZanTadpoleResend"},
    .host1Main = {"TPaletteMain", std::nullopt},
    .host2Main = {"TfrmMain_Tadpole", std::nullopt},
};

// The message that carries one code. A code is a 32-bit value and travels
// as such: a negative key-table value arrives as its 32-bit pattern.
zan::WindowMessage HostCommandMessage(std::int32_t code);

// Looks up both relay windows, posts the code to host 1's, then to host 2's.
void PostHostCommand(zan::WindowSystem& windows, std::int32_t code);

// Looks up both relay windows once, posts every code in order to host 1's,
// then the same codes in the same order to host 2's. A double press uses
// this, so that each host sees its two codes back to back.
void PostHostCommands(zan::WindowSystem& windows, std::initializer_list<std::int32_t> codes);
