#pragma once
// Timers of the service's main window as the logic sees them.
//
// Contract for implementations:
// - SetTimer and KillTimer may be called from any thread. The real port
//   hands the call to the main thread (a queued call); the timer's expiry is
//   always delivered on the main thread, never inside SetTimer or KillTimer.
// - Calls take effect in the order they were made, whichever thread made
//   them. The press counter relies on this: it arms and kills under its own
//   lock, and a kill overtaken by a later arm would leave a window that
//   never closes.
// - Neither call blocks on, or calls back into, its caller: both are made
//   while the caller holds a lock.
// - A timer is periodic until killed. Arming an armed id restarts its
//   period; killing an id that is not armed does nothing.

#include <cstdint>

class TimerPort {
public:
    virtual ~TimerPort() = default;

    virtual void SetTimer(std::uint32_t timerId, std::uint32_t periodMs) = 0;
    virtual void KillTimer(std::uint32_t timerId) = 0;
};
