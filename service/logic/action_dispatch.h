#pragma once
// What a combination key does: the "combination" value of its key-table row
// is an action code, run at once on the reader thread.
//
//   code  action                               carried out by
//   1     volume up                            LocalActions::VolumeUp
//   2     volume down                          LocalActions::VolumeDown
//   3     mute toggle                          LocalActions::ToggleMute
//   4     host print                           LocalActions::HostPrint
//   5     screen copy                          LocalActions::ScreenCopy
//   6     calculator toggle                    LocalActions::ToggleCalculator
//   7     on-screen keyboard toggle            LocalActions::ToggleOnScreenKeyboard
//   8     host command 39                      PostHostCommand
//   9     host command 38                      PostHostCommand
//   10    host command 37                      PostHostCommand
//   11    host command 53                      PostHostCommand
//   12    start the row's program (exePath)    LocalActions::LaunchProgram
//   other nothing
//
// The built-in combination values of the key table (37, 38, 39, 53) are
// host command numbers, not action codes, and so do nothing here.
//
// Use in the service (reader thread, after a combination report):
//   RunAction(*store.Snapshot(), report.row, ports);

#include <cstdint>

#include "button_config.h"
#include "local_actions.h"
#include "platform/window_system.h"

enum class ActionCode : std::int32_t {
    VolumeUp = 1,
    VolumeDown = 2,
    MuteToggle = 3,
    HostPrint = 4,
    ScreenCopy = 5,
    CalculatorToggle = 6,
    OnScreenKeyboardToggle = 7,
    HostCommand39 = 8,
    HostCommand38 = 9,
    HostCommand37 = 10,
    HostCommand53 = 11,
    LaunchProgram = 12,
};

// Everything an action may reach. Both references must outlive the calls.
struct ActionPorts {
    zan::WindowSystem& windows;
    LocalActions& local;
};

// Runs the action of row `row` (0..7) of config; a row outside 0..7 or a
// code outside 1..12 does nothing.
void RunAction(const ButtonConfig& config, int row, const ActionPorts& ports);

// Runs one action code with the row's data; exposed for the callers that
// already hold the row.
void RunActionCode(std::int32_t code, const KeyBinding& row, const ActionPorts& ports);
