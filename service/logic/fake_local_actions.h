#pragma once
// LocalActions for tests: records which action ran, with the program path
// for action 12. Safe from any thread.

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "local_actions.h"

class FakeLocalActions : public LocalActions {
public:
    void VolumeUp() override { Record(L"VolumeUp"); }
    void VolumeDown() override { Record(L"VolumeDown"); }
    void ToggleMute() override { Record(L"ToggleMute"); }
    void HostPrint() override { Record(L"HostPrint"); }
    void ScreenCopy() override { Record(L"ScreenCopy"); }
    void ToggleCalculator() override { Record(L"ToggleCalculator"); }
    void ToggleOnScreenKeyboard() override { Record(L"ToggleOnScreenKeyboard"); }
    void LaunchProgram(const std::wstring& exePath) override {
        Record(L"LaunchProgram:" + exePath);
    }

    std::vector<std::wstring> TakeCalls() {
        std::lock_guard lock(mutex_);
        return std::exchange(calls_, {});
    }

private:
    void Record(std::wstring call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    std::mutex mutex_;
    std::vector<std::wstring> calls_;
};
