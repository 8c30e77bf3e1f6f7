#pragma once
// The local actions a combination key can run besides host commands: volume,
// mute, host print, screen copy, calculator, on-screen keyboard, a chosen
// program. RunAction (action_dispatch.h) calls exactly one of these per
// combination report, on the reader thread, and waits for it: an action that
// pauses (the volume step) holds up the next read, which is intended.
//
// Implementations never throw and report nothing back; a step that fails is
// simply not taken. NoLocalActions is the stand-in until each action is
// built: plug a real implementation in where the service builds its
// ActionPorts.

#include <string>

class LocalActions {
public:
    virtual ~LocalActions() = default;

    virtual void VolumeUp() = 0;                // action 1
    virtual void VolumeDown() = 0;              // action 2
    virtual void ToggleMute() = 0;              // action 3
    virtual void HostPrint() = 0;               // action 4
    virtual void ScreenCopy() = 0;              // action 5
    virtual void ToggleCalculator() = 0;        // action 6
    virtual void ToggleOnScreenKeyboard() = 0;  // action 7
    // action 12; exePath is the key row's, possibly empty.
    virtual void LaunchProgram(const std::wstring& exePath) = 0;
};

class NoLocalActions final : public LocalActions {
public:
    void VolumeUp() override {}
    void VolumeDown() override {}
    void ToggleMute() override {}
    void HostPrint() override {}
    void ScreenCopy() override {}
    void ToggleCalculator() override {}
    void ToggleOnScreenKeyboard() override {}
    void LaunchProgram(const std::wstring& /*exePath*/) override {}
};
