#include "press_counter.h"

#include <limits>

#include "host_commands.h"
#include "service_constants.h"

PressCounter::PressCounter(TimerPort& timers) : timers_(timers) {}

void PressCounter::CountPress(const ButtonConfig& config, int keyNumber) {
    if (keyNumber < 1 || keyNumber > KEY_ROW_COUNT) {
        return;
    }
    const KeyBinding& row = config.keys[static_cast<std::size_t>(keyNumber - 1)];
    std::lock_guard lock(mutex_);
    // The key pressed last decides both codes, whatever came before it.
    clickCode_ = row.click;
    doubleClickCode_ = row.doubleClick;
    HandleEvent(PressEvent::Press);
}

PendingPresses PressCounter::TakePresses() {
    std::lock_guard lock(mutex_);
    const PendingPresses taken{count_, clickCode_, doubleClickCode_};
    HandleEvent(PressEvent::Expiry);
    return taken;
}

PressState PressCounter::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void PressCounter::HandleEvent(PressEvent event) {
    switch (state_) {
        case PressState::Idle:
            HandleIdleEvent(event);
            break;
        case PressState::Counting:
            HandleCountingEvent(event);
            break;
    }
}

void PressCounter::HandleIdleEvent(PressEvent event) {
    switch (event) {
        case PressEvent::Press:
            count_ = 1;
            state_ = PressState::Counting;
            timers_.SetTimer(TIMER_CLICK_WINDOW, TIMER_CLICK_WINDOW_MS);
            break;
        case PressEvent::Expiry:
            // A window's expiry that was already queued when the window was
            // resolved: there is nothing to hand out.
            break;
    }
}

void PressCounter::HandleCountingEvent(PressEvent event) {
    switch (event) {
        case PressEvent::Press:
            // The window is not extended: only the first press arms it.
            if (count_ < std::numeric_limits<std::uint32_t>::max()) {
                ++count_;
            }
            break;
        case PressEvent::Expiry:
            // Killed here, under the lock and before the next press can arm
            // it again, so the kill can never cancel a newer window.
            timers_.KillTimer(TIMER_CLICK_WINDOW);
            count_ = 0;
            state_ = PressState::Idle;
            break;
    }
}

void DeliverPresses(const PendingPresses& presses, zan::WindowSystem& windows,
                    InputSynthesis& input) {
    if (presses.count == 0) {
        return;
    }
    if (presses.count == 1) {
        PostHostCommand(windows, presses.clickCode);
        return;
    }
    if (presses.doubleClickCode == DOUBLE_CLICK_RIGHT_CLICK_CODE) {
        input.RightClickAtPointer();
        return;
    }
    PostHostCommands(windows, {presses.doubleClickCode, presses.clickCode});
}

void ResolvePresses(PressCounter& counter, zan::WindowSystem& windows, InputSynthesis& input) {
    DeliverPresses(counter.TakePresses(), windows, input);
}
