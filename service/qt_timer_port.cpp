#include "qt_timer_port.h"

#include <sys/eventfd.h>
#include <unistd.h>

QtTimerPort::QtTimerPort(Handler handler, QObject* parent)
    : QObject(parent),
      handler_(std::move(handler)),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wakeFd_) {
        wakeNotifier_ = std::make_unique<QSocketNotifier>(wakeFd_.get(), QSocketNotifier::Read);
        connect(wakeNotifier_.get(), &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd_.get(), &count, sizeof count);
            ApplyQueued();
        });
    }
}

QtTimerPort::~QtTimerPort() = default;

void QtTimerPort::SetTimer(std::uint32_t timerId, std::uint32_t periodMs) {
    Queue({timerId, periodMs, true});
}

void QtTimerPort::KillTimer(std::uint32_t timerId) {
    Queue({timerId, 0, false});
}

bool QtTimerPort::IsArmed(std::uint32_t timerId) {
    ApplyQueued();
    const auto found = timers_.find(timerId);
    return found != timers_.end() && found->second->isActive();
}

void QtTimerPort::Queue(const Request& request) {
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(request);
    }
    const std::uint64_t one = 1;
    // A full counter still wakes the loop; losing this increment is harmless.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_.get(), &one, sizeof one);
}

void QtTimerPort::ApplyQueued() {
    std::vector<Request> requests;
    {
        std::lock_guard lock(mutex_);
        requests.swap(queued_);
    }
    for (const auto& request : requests) {
        if (request.arm) {
            ArmHere(request.timerId, request.periodMs);
        } else {
            KillHere(request.timerId);
        }
    }
}

void QtTimerPort::ArmHere(std::uint32_t timerId, std::uint32_t periodMs) {
    auto& timer = timers_[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer.get(), &QTimer::timeout, this, [this, timerId] { handler_(timerId); });
    }
    timer->start(static_cast<int>(periodMs));
}

void QtTimerPort::KillHere(std::uint32_t timerId) {
    const auto found = timers_.find(timerId);
    if (found != timers_.end()) {
        found->second->stop();
    }
}
