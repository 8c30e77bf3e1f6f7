#pragma once
// What a device-notice registration needs from udev: the next event of its
// subsystem, and the devices of that subsystem present now. The real source
// is a udev monitor (Devscout's device notices); FakeDeviceEvents
// (fake_device_events.h) stands in for it in tests.

#include <map>
#include <optional>
#include <string>

#include "notice_name.h"

namespace zan::devscout {

struct DeviceEvent {
    enum class Action { Add, Remove, Other };
    Action action = Action::Other;
    std::string syspath;
    // As far as the event itself still shows it: at removal, the parents
    // that carry the ids may already be gone.
    DeviceIdentity identity;
};

// The devices present, by syspath.
using PresentDevices = std::map<std::string, DeviceIdentity>;

class DeviceEventSource {
public:
    enum class Status {
        Event,     // event holds the next event
        Nothing,   // no event is waiting
        Overflow,  // events were lost since the last call: the buffer ran full
    };
    struct Received {
        Status status = Status::Nothing;
        DeviceEvent event;
    };

    virtual ~DeviceEventSource() = default;

    // Never blocks.
    virtual Received Receive() = 0;
    // nullopt when the devices could not be listed.
    virtual std::optional<PresentDevices> Enumerate() = 0;
};

}  // namespace zan::devscout
