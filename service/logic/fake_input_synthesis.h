#pragma once
// InputSynthesis for tests: records every event in order, synthesises
// nothing. Safe from any thread.

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "input_synthesis.h"

class FakeInputSynthesis : public InputSynthesis {
public:
    struct Event {
        enum class Kind { Key, RightClick } kind = Kind::Key;
        std::uint8_t virtualKey = 0;
        std::uint8_t scanCode = 0;
        std::uint32_t flags = 0;
        friend bool operator==(const Event&, const Event&) = default;
    };

    void SendKey(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override {
        std::lock_guard lock(mutex_);
        events_.push_back({Event::Kind::Key, virtualKey, scanCode, flags});
    }

    std::uint8_t ScanCodeOf(std::uint8_t virtualKey) override {
        return static_cast<std::uint8_t>(virtualKey ^ 0x80U);
    }

    void RightClickAtPointer() override {
        std::lock_guard lock(mutex_);
        events_.push_back({Event::Kind::RightClick, 0, 0, 0});
    }

    std::vector<Event> TakeEvents() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

private:
    std::mutex mutex_;
    std::vector<Event> events_;
};
