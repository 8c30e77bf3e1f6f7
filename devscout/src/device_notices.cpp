// Device notices on Linux: a registration is a udev monitor on the udev
// subsystem that stands for the interface class, read through the notice
// tracker; the caller's event loop watches its fd and reads notices from it.
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "device_events.h"
#include "device_identity.h"
#include "devscout/Cregedit.h"
#include "interface_class.h"
#include "notice_name.h"
#include "notice_tracker.h"
#include "platform/udev_handles.h"
#include "platform/unique_fd.h"

using zan::UdevContext;
using zan::UdevDevice;
using zan::UdevEnumerate;
using zan::UdevMonitor;
using zan::devscout::DeviceIdentity;
using zan::devscout::InterfaceClass;

namespace {

// Offset of the name in the Windows notice record; its size counts the name
// in UTF-16 with its terminating 0.
constexpr std::uint32_t NOTICE_HEADER_SIZE = 28;
constexpr std::uint32_t BYTES_PER_NAME_CHARACTER = 2;
constexpr int NOTICE_RECEIVE_BUFFER_BYTES = 8 * 1024 * 1024;

// The udev side of one registration: a monitor on its subsystem.
class UdevDeviceEvents final : public zan::devscout::DeviceEventSource {
public:
    explicit UdevDeviceEvents(std::string subsystem) : subsystem_(std::move(subsystem)) {}

    bool Start();
    int Fd() const { return udev_monitor_get_fd(monitor_.get()); }

    Received Receive() override;
    std::optional<zan::devscout::PresentDevices> Enumerate() override;

private:
    std::string subsystem_;
    UdevContext context_;
    UdevMonitor monitor_;
};

bool UdevDeviceEvents::Start() {
    context_.reset(udev_new());
    if (!context_) {
        return false;
    }
    monitor_.reset(udev_monitor_new_from_netlink(context_.get(), "udev"));
    if (!monitor_) {
        return false;
    }
    // A burst (a dock, udevadm trigger) must not overflow the default
    // buffer. Above rmem_max only root gets the size asked for; a smaller
    // buffer still works, and an overflow is caught by the tracker.
    (void)udev_monitor_set_receive_buffer_size(monitor_.get(), NOTICE_RECEIVE_BUFFER_BYTES);
    return udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), subsystem_.c_str(),
                                                           nullptr) >= 0 &&
           udev_monitor_enable_receiving(monitor_.get()) >= 0;
}

UdevDeviceEvents::Received UdevDeviceEvents::Receive() {
    errno = 0;
    const UdevDevice device(udev_monitor_receive_device(monitor_.get()));
    if (!device) {
        return {errno == ENOBUFS ? Status::Overflow : Status::Nothing, {}};
    }
    const char* action = udev_device_get_action(device.get());
    const std::string actionText = action != nullptr ? action : "";
    zan::devscout::DeviceEvent event;
    event.syspath = udev_device_get_syspath(device.get());
    event.identity = zan::devscout::IdentityOfDevice(device.get());
    if (actionText == "add") {
        event.action = zan::devscout::DeviceEvent::Action::Add;
    } else if (actionText == "remove") {
        event.action = zan::devscout::DeviceEvent::Action::Remove;
    }
    return {Status::Event, std::move(event)};
}

std::optional<zan::devscout::PresentDevices> UdevDeviceEvents::Enumerate() {
    UdevEnumerate enumerate(udev_enumerate_new(context_.get()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), subsystem_.c_str()) < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return std::nullopt;
    }
    zan::devscout::PresentDevices present;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const char* syspath = udev_list_entry_get_name(entry);
        const UdevDevice device(udev_device_new_from_syspath(context_.get(), syspath));
        if (device) {
            present[syspath] = zan::devscout::IdentityOfDevice(device.get());
        }
    }
    return present;
}

}  // namespace

// A registration for a class without Linux devices holds a quiet eventfd
// instead of a monitor, so that every handle has an fd to watch.
struct DevNotifyRegistration {
    InterfaceClass interfaceClass;
    std::unique_ptr<UdevDeviceEvents> events;
    zan::devscout::NoticeTracker tracker;
    zan::UniqueFd quiet;

    int Fd() const { return events ? events->Fd() : quiet.get(); }
};

namespace {

HDEVNOTIFY Register(const InterfaceClass& interfaceClass) {
    auto registration = std::make_unique<DevNotifyRegistration>();
    registration->interfaceClass = interfaceClass;
    const std::string subsystem = zan::devscout::SubsystemOfClass(interfaceClass);
    if (subsystem.empty()) {
        registration->quiet.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        return registration->quiet.valid() ? registration.release() : nullptr;
    }
    registration->events = std::make_unique<UdevDeviceEvents>(subsystem);
    if (!registration->events->Start()) {
        return nullptr;
    }
    registration->tracker.Start(*registration->events);
    return registration.release();
}

void FillNotice(const DevNotifyRegistration& registration, std::uint32_t event,
                const DeviceIdentity& identity, DevNotice& notice) {
    notice.event = event;
    DevBroadcastDeviceInterface& record = notice.record;
    record.name = zan::devscout::NoticeName(identity, registration.interfaceClass.text);
    record.size = NOTICE_HEADER_SIZE +
                  static_cast<std::uint32_t>(record.name.size() + 1) * BYTES_PER_NAME_CHARACTER;
    record.deviceType = DBT_DEVTYP_DEVICEINTERFACE;
    record.reserved = 0;
    std::copy(registration.interfaceClass.bytes.begin(), registration.interfaceClass.bytes.end(),
              record.classGuid);
}

int ReadNotice(DevNotifyRegistration& registration, DevNotice& notice) {
    const auto tracked = registration.tracker.Next(*registration.events);
    if (!tracked) {
        return 0;
    }
    const bool arrival = tracked->kind == zan::devscout::TrackedNotice::Kind::Arrival;
    FillNotice(registration, arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
               tracked->identity, notice);
    return 1;
}

}  // namespace

void Cregedit::RegisterForDevChange(HWND window, HDEVNOTIFY* handle, const wchar_t* classText) {
    if (handle == nullptr) {
        return;
    }
    *handle = nullptr;
    if (window == nullptr || classText == nullptr) {
        return;
    }
    try {
        const std::optional<InterfaceClass> interfaceClass =
            zan::devscout::ParseInterfaceClass(classText);
        if (interfaceClass) {
            *handle = Register(*interfaceClass);
        }
    } catch (const std::bad_alloc&) {
        *handle = nullptr;
    }
}

int Cregedit::GetDevNotifyFd(HDEVNOTIFY handle) {
    return handle != nullptr ? handle->Fd() : -1;
}

int Cregedit::ReadDevNotice(HDEVNOTIFY handle, DevNotice& notice) {
    if (handle == nullptr || !handle->events) {
        return 0;
    }
    try {
        return ReadNotice(*handle, notice);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void Cregedit::UnregisterDevChange(HDEVNOTIFY handle) {
    delete handle;
}
