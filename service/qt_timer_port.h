#pragma once
// Numbered timers on the Qt main thread, in the manner of window timers:
// SetTimer(id, ms) arms or re-arms timer id (re-arming restarts its
// period), KillTimer(id) stops it, and every expiry calls the handler with
// the id on the main thread until the timer is killed.
//
// SetTimer and KillTimer may be called from any thread and never block on
// the main thread. Every call, the main thread's own included, is queued
// (under a mutex, with an eventfd to wake the loop) and takes effect on the
// main thread in the order the calls were made: a kill made on the main
// thread never overtakes an arm that the reader queued before it.

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/unique_fd.h"
#include "timer_port.h"

class QtTimerPort : public QObject, public TimerPort {
    Q_OBJECT
public:
    using Handler = std::function<void(std::uint32_t timerId)>;

    // Construct on the main thread.
    explicit QtTimerPort(Handler handler, QObject* parent = nullptr);
    ~QtTimerPort() override;

    void SetTimer(std::uint32_t timerId, std::uint32_t periodMs) override;
    void KillTimer(std::uint32_t timerId) override;

    // Main thread only: applies the calls queued so far (the event loop does
    // this by itself), then says whether the timer is armed.
    bool IsArmed(std::uint32_t timerId);

private:
    struct Request {
        std::uint32_t timerId;
        std::uint32_t periodMs;
        bool arm;
    };

    void Queue(const Request& request);
    void ApplyQueued();
    void ArmHere(std::uint32_t timerId, std::uint32_t periodMs);
    void KillHere(std::uint32_t timerId);

    Handler handler_;
    std::map<std::uint32_t, std::unique_ptr<QTimer>> timers_;
    std::mutex mutex_;
    std::vector<Request> queued_;
    zan::UniqueFd wakeFd_;
    std::unique_ptr<QSocketNotifier> wakeNotifier_;
};
