#include "action_dispatch.h"

#include <array>
#include <cstddef>

#include "host_commands.h"

namespace {

using ActionHandler = void (*)(const KeyBinding& row, const ActionPorts& ports);

struct ActionEntry {
    ActionCode code;
    ActionHandler handler;
};

template <std::int32_t HostCode>
void PostFixedHostCommand(const KeyBinding& /*row*/, const ActionPorts& ports) {
    PostHostCommand(ports.windows, HostCode);
}

constexpr std::array<ActionEntry, 12> ACTION_TABLE = {{
    {ActionCode::VolumeUp, [](const KeyBinding&, const ActionPorts& p) { p.local.VolumeUp(); }},
    {ActionCode::VolumeDown, [](const KeyBinding&, const ActionPorts& p) { p.local.VolumeDown(); }},
    {ActionCode::MuteToggle, [](const KeyBinding&, const ActionPorts& p) { p.local.ToggleMute(); }},
    {ActionCode::HostPrint, [](const KeyBinding&, const ActionPorts& p) { p.local.HostPrint(); }},
    {ActionCode::ScreenCopy, [](const KeyBinding&, const ActionPorts& p) { p.local.ScreenCopy(); }},
    {ActionCode::CalculatorToggle,
     [](const KeyBinding&, const ActionPorts& p) { p.local.ToggleCalculator(); }},
    {ActionCode::OnScreenKeyboardToggle,
     [](const KeyBinding&, const ActionPorts& p) { p.local.ToggleOnScreenKeyboard(); }},
    {ActionCode::HostCommand39, &PostFixedHostCommand<39>},
    {ActionCode::HostCommand38, &PostFixedHostCommand<38>},
    {ActionCode::HostCommand37, &PostFixedHostCommand<37>},
    {ActionCode::HostCommand53, &PostFixedHostCommand<53>},
    {ActionCode::LaunchProgram,
     [](const KeyBinding& row, const ActionPorts& p) { p.local.LaunchProgram(row.exePath); }},
}};

}  // namespace

void RunActionCode(std::int32_t code, const KeyBinding& row, const ActionPorts& ports) {
    for (const ActionEntry& entry : ACTION_TABLE) {
        if (static_cast<std::int32_t>(entry.code) == code) {
            entry.handler(row, ports);
            return;
        }
    }
}

void RunAction(const ButtonConfig& config, int row, const ActionPorts& ports) {
    if (row < 0 || row >= KEY_ROW_COUNT) {
        return;
    }
    const KeyBinding& binding = config.keys[static_cast<std::size_t>(row)];
    RunActionCode(binding.combination, binding, ports);
}
