#pragma once
// Turns one registration's device events into arrival and removal notices.
// It remembers every present device's identity, so that a removal carries
// the ids its device had while present.
//
// Lost events: when the source reports an overflow, the events still queued
// are discarded (they are older than what follows) and the present devices
// are listed again. Every difference from what was remembered then becomes
// a notice, as if the lost events had come: a removal for each device gone,
// an arrival for each new one, both for a device whose identity changed
// (re-plugged under the same name). Removals come before arrivals.
//
// One thread at a time.

#include <cstdint>
#include <deque>
#include <optional>

#include "device_events.h"

namespace zan::devscout {

struct TrackedNotice {
    enum class Kind { Arrival, Removal };
    Kind kind = Kind::Arrival;
    DeviceIdentity identity;
    friend bool operator==(const TrackedNotice&, const TrackedNotice&) = default;
};

class NoticeTracker {
public:
    // Remembers the devices present now. Called once the source receives,
    // so that a device arriving in between is remembered and announced.
    void Start(DeviceEventSource& source);

    // The next notice, or nullopt when nothing (relevant) is waiting.
    std::optional<TrackedNotice> Next(DeviceEventSource& source);

private:
    void Resynchronise(DeviceEventSource& source);
    TrackedNotice Removed(const DeviceEvent& event);

    PresentDevices present_;
    std::deque<TrackedNotice> pending_;
};

}  // namespace zan::devscout
