#pragma once
// Numbered timers on the Qt main thread, in the manner of window timers:
// SetTimer(id, ms) arms or re-arms timer id (re-arming restarts its
// period), KillTimer(id) stops it, and every expiry calls the handler with
// the id on the main thread until the timer is killed.
//
// SetTimer and KillTimer may be called from any thread. Every call, the main
// thread's own included, is queued to the main thread and takes effect there
// in the order the calls were made: a kill made on the main thread never
// overtakes an arm that the reader queued before it.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "timer_port.h"

class QtTimerPort : public QObject, public TimerPort {
    Q_OBJECT
public:
    using Handler = std::function<void(std::uint32_t timerId)>;

    explicit QtTimerPort(Handler handler, QObject* parent = nullptr);
    ~QtTimerPort() override;

    void SetTimer(std::uint32_t timerId, std::uint32_t periodMs) override;
    void KillTimer(std::uint32_t timerId) override;

    // Main thread only: whether the timer is armed once the calls queued so
    // far have taken effect.
    bool IsArmed(std::uint32_t timerId) const;

private:
    void ArmHere(std::uint32_t timerId, std::uint32_t periodMs);
    void KillHere(std::uint32_t timerId);

    Handler handler_;
    std::map<std::uint32_t, std::unique_ptr<QTimer>> timers_;
};
