#include "qt_timer_port.h"

QtTimerPort::QtTimerPort(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

QtTimerPort::~QtTimerPort() = default;

void QtTimerPort::SetTimer(std::uint32_t timerId, std::uint32_t periodMs) {
    QMetaObject::invokeMethod(
        this, [this, timerId, periodMs] { ArmHere(timerId, periodMs); }, Qt::QueuedConnection);
}

void QtTimerPort::KillTimer(std::uint32_t timerId) {
    QMetaObject::invokeMethod(
        this, [this, timerId] { KillHere(timerId); }, Qt::QueuedConnection);
}

bool QtTimerPort::IsArmed(std::uint32_t timerId) const {
    const auto found = timers_.find(timerId);
    return found != timers_.end() && found->second->isActive();
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
