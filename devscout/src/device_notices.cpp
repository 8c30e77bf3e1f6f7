// Device notices on Linux: a registration is a udev monitor on the udev
// subsystem that stands for the interface class; the caller's event loop
// watches its fd and reads notices from it.
#include <sys/eventfd.h>

#include <algorithm>
#include <map>
#include <new>
#include <optional>
#include <string>

#include "device_identity.h"
#include "devscout/Cregedit.h"
#include "interface_class.h"
#include "notice_name.h"
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

}  // namespace

// A registration for a class without Linux devices holds a quiet eventfd
// instead of a monitor, so that every handle has an fd to watch.
struct DevNotifyRegistration {
    InterfaceClass interfaceClass;
    std::string subsystem;
    UdevContext context;
    UdevMonitor monitor;
    zan::UniqueFd quiet;
    // Identities of the present devices by syspath, for removal notices.
    std::map<std::string, DeviceIdentity> present;

    int Fd() const { return monitor ? udev_monitor_get_fd(monitor.get()) : quiet.get(); }
};

namespace {

bool StartMonitor(DevNotifyRegistration& registration) {
    registration.context.reset(udev_new());
    if (!registration.context) {
        return false;
    }
    registration.monitor.reset(udev_monitor_new_from_netlink(registration.context.get(), "udev"));
    return registration.monitor &&
           udev_monitor_filter_add_match_subsystem_devtype(
               registration.monitor.get(), registration.subsystem.c_str(), nullptr) >= 0 &&
           udev_monitor_enable_receiving(registration.monitor.get()) >= 0;
}

// Runs after the monitor receives, so a device that arrives in between is
// both remembered and announced.
void RememberPresentDevices(DevNotifyRegistration& registration) {
    UdevEnumerate enumerate(udev_enumerate_new(registration.context.get()));
    if (!enumerate ||
        udev_enumerate_add_match_subsystem(enumerate.get(), registration.subsystem.c_str()) < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const char* syspath = udev_list_entry_get_name(entry);
        UdevDevice device(udev_device_new_from_syspath(registration.context.get(), syspath));
        if (device) {
            registration.present[syspath] = zan::devscout::IdentityOfDevice(device.get());
        }
    }
}

HDEVNOTIFY Register(const InterfaceClass& interfaceClass) {
    auto registration = std::make_unique<DevNotifyRegistration>();
    registration->interfaceClass = interfaceClass;
    registration->subsystem = zan::devscout::SubsystemOfClass(interfaceClass);
    if (registration->subsystem.empty()) {
        registration->quiet.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        return registration->quiet.valid() ? registration.release() : nullptr;
    }
    if (!StartMonitor(*registration)) {
        return nullptr;
    }
    RememberPresentDevices(*registration);
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

// The identity a removed device had while present; a device that came and
// went unseen is named from what the event itself still shows.
DeviceIdentity TakeRemovedIdentity(DevNotifyRegistration& registration, udev_device* device) {
    const auto known = registration.present.find(udev_device_get_syspath(device));
    if (known == registration.present.end()) {
        return zan::devscout::IdentityOfDevice(device);
    }
    DeviceIdentity identity = known->second;
    registration.present.erase(known);
    return identity;
}

int ReadNotice(DevNotifyRegistration& registration, DevNotice& notice) {
    while (true) {
        UdevDevice device(udev_monitor_receive_device(registration.monitor.get()));
        if (!device) {
            return 0;
        }
        const char* action = udev_device_get_action(device.get());
        const std::string actionText = action != nullptr ? action : "";
        if (actionText == "add") {
            DeviceIdentity identity = zan::devscout::IdentityOfDevice(device.get());
            registration.present[udev_device_get_syspath(device.get())] = identity;
            FillNotice(registration, DBT_DEVICEARRIVAL, identity, notice);
            return 1;
        }
        if (actionText == "remove") {
            FillNotice(registration, DBT_DEVICEREMOVECOMPLETE,
                       TakeRemovedIdentity(registration, device.get()), notice);
            return 1;
        }
    }
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
    if (handle == nullptr || !handle->monitor) {
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
