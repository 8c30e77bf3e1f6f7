#pragma once
// DeviceEventSource for tests: events queued by hand, an overflow reported
// on demand, and a list of present devices set by hand. One thread.

#include <deque>
#include <utility>

#include "device_events.h"

namespace zan::devscout {

class FakeDeviceEvents final : public DeviceEventSource {
public:
    void Queue(DeviceEvent event) { queue_.push_back({Status::Event, std::move(event)}); }
    // Reported where it stands in the queue, as a socket reports the loss.
    void QueueOverflow() { queue_.push_back({Status::Overflow, {}}); }
    void SetPresent(std::optional<PresentDevices> present) { present_ = std::move(present); }
    std::size_t Waiting() const { return queue_.size(); }

    Received Receive() override {
        if (queue_.empty()) {
            return {Status::Nothing, {}};
        }
        Received next = std::move(queue_.front());
        queue_.pop_front();
        return next;
    }
    std::optional<PresentDevices> Enumerate() override { return present_; }

private:
    std::deque<Received> queue_;
    std::optional<PresentDevices> present_ = PresentDevices{};
};

}  // namespace zan::devscout
