#pragma once
// Counting of click presses into single and double presses.
//
// Click reports arrive on the reader thread; presses that fall into one
// 500 ms window, opened by the first press and never extended, become one
// command. The key pressed last decides both codes. When the window's timer
// (TIMER_CLICK_WINDOW) fires on the main thread, the presses are taken and
// the counter returns to Idle:
//   1 press     click code to host 1, then host 2
//   2 or more   double code 273: a right click at the pointer, nothing posted;
//               otherwise double code then click code to host 1, then the
//               same two to host 2
//
// States and events:
//
//   state     event     next      effect
//   Idle      Press     Counting  codes := key's, count := 1, arm the timer
//   Idle      Expiry    Idle      none (an expiry with nothing counted)
//   Counting  Press     Counting  codes := key's, count += 1
//   Counting  Expiry    Idle      kill the timer, hand out count and codes,
//                                 count := 0
//
// Timeline with the built-in codes (key 3: click 22, double 86):
//
//   t (ms)  event          state     count  timer            posted
//   0       press key 3    Counting  1      armed, due 500
//   200     press key 3    Counting  2      (not re-armed)
//   500     expiry         Idle      0      killed           86, 22 to host 1; 86, 22 to host 2
//   900     press key 1    Counting  1      armed, due 1400
//   1400    expiry         Idle      0      killed           33 to host 1; 33 to host 2
//
// Threads: CountPress on the reader thread, TakePresses (and with it
// ResolvePresses) on the main thread when TIMER_CLICK_WINDOW fires. One mutex
// covers the state, the count, both codes and the timer calls, so an
// increment and the read-and-reset never interleave, and the arm and the
// kill reach the timer in the order of the transitions that made them. A
// single atomic word was the alternative, but count and two 32-bit codes do
// not pack into one, and the timer call must stay ordered with the change.
// The lock is held for a few instructions plus one queued timer call; posts
// and clicks happen after it is released.
//
// Use in the service:
//   reader thread:  counter.CountPress(*store.Snapshot(), report.keyNumber);
//   main thread, on TIMER_CLICK_WINDOW:  ResolvePresses(counter, windows, input);

#include <cstdint>
#include <mutex>

#include "button_config.h"
#include "input_synthesis.h"
#include "platform/window_system.h"
#include "timer_port.h"

enum class PressState { Idle, Counting };
enum class PressEvent { Press, Expiry };

// What one window counted. count 0 means nothing was pending.
struct PendingPresses {
    std::uint32_t count = 0;
    std::int32_t clickCode = 0;
    std::int32_t doubleClickCode = 0;
    friend bool operator==(const PendingPresses&, const PendingPresses&) = default;
};

class PressCounter {
public:
    // timers must outlive the counter.
    explicit PressCounter(TimerPort& timers);

    // Reader thread. keyNumber 1..8 selects row keyNumber - 1 of config;
    // any other number is ignored.
    void CountPress(const ButtonConfig& config, int keyNumber);

    // Main thread, when TIMER_CLICK_WINDOW fires: the presses of the closed
    // window, the counter back in Idle, the timer killed.
    PendingPresses TakePresses();

    PressState State() const;

private:
    void HandleEvent(PressEvent event);
    void HandleIdleEvent(PressEvent event);
    void HandleCountingEvent(PressEvent event);

    TimerPort& timers_;
    mutable std::mutex mutex_;
    PressState state_ = PressState::Idle;
    std::uint32_t count_ = 0;
    std::int32_t clickCode_ = 0;
    std::int32_t doubleClickCode_ = 0;
};

// Carries out what a window counted (see the table above). Main thread.
void DeliverPresses(const PendingPresses& presses, zan::WindowSystem& windows,
                    InputSynthesis& input);

// TakePresses then DeliverPresses: the whole TIMER_CLICK_WINDOW handler.
void ResolvePresses(PressCounter& counter, zan::WindowSystem& windows, InputSynthesis& input);
