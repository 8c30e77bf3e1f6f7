#pragma once
// Device locator: finds the Palmkey's HID node, registers for device notices
// and looks up serial-port devices in the registry view.
//
// Every operation stands alone and keeps nothing between calls, so any
// Cregedit object serves and all operations may run on any thread at once.
// Failures are reported by results only (0, an empty path, a null handle);
// nothing throws.

#include <cstdint>
#include <string>

#if defined(DEVSCOUT_BUILDING)
#define DEVSCOUT_API __attribute__((visibility("default")))
#else
#define DEVSCOUT_API
#endif

// The window a registration is made for. Notices do not travel through it on
// Linux (the caller watches the registration's fd), but a null window is
// refused as an invalid one.
using HWND = const void*;

// Device-change event codes carried by a notice.
inline constexpr std::uint32_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr std::uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr std::uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;

// Common head of every device notice; deviceType tells which record follows.
struct DevBroadcastHeader {
    std::uint32_t size = 0;
    std::uint32_t deviceType = 0;
    std::uint32_t reserved = 0;
};

// A device-interface notice (deviceType 5). name has the form
// \\?\HID#VID_1314&PID_1070#<sysname>#{<class>} (upper-case hex ids), so
// that the vendor/product text starts at character 8; a tty on a USB device
// reads \\?\USB#VID_xxxx&PID_xxxx#<sysname>#{<class>}, a device without USB
// ids \\?\<SUBSYSTEM>#<sysname>#{<class>}.
struct DevBroadcastDeviceInterface : DevBroadcastHeader {
    std::uint8_t classGuid[16] = {};
    std::wstring name;
};

// One notice as read from a registration: the event code (arrival or
// removal) and the record.
struct DevNotice {
    std::uint32_t event = 0;
    DevBroadcastDeviceInterface record;
};

// Opaque registration; see RegisterForDevChange.
struct DevNotifyRegistration;
using HDEVNOTIFY = DevNotifyRegistration*;

class DEVSCOUT_API Cregedit {
public:
    Cregedit() = default;
    ~Cregedit() = default;
    Cregedit(const Cregedit&) = default;
    Cregedit& operator=(const Cregedit&) = default;

    // Searches the present hidraw devices, in sysfs-path order, for the first
    // whose HID ids equal vendorId/productId (an argument above 0xFFFF never
    // matches; unused is ignored). Returns 1 and writes the device node
    // (/dev/hidrawN) into path, or 0 with path empty. Needs no access to the
    // node itself.
    int GetHIDDevicePathName(std::wstring& path, std::uint32_t vendorId, std::uint32_t productId,
                             std::uint32_t unused);

    // Serial-port look-ups on the registry view (HKEY_LOCAL_MACHINE paths).
    // GetComNum: 1 with portPath = "\\.\" + value; 0 leaves portPath alone.
    int GetComNum(std::wstring& portPath, const std::wstring& keyPath, std::wstring valueName);
    // CheckComm: the first byte of the key's "Linked" value, 0 when unreadable.
    int CheckComm(const std::wstring& keyPath, std::uint8_t& linkByte);
    // GetDriverSymbolByReg: 1 when an interface of the device is linked and
    // its "SymbolicLink" could be read; link then holds the symbolic link of
    // the last such match in subkey order, and is untouched otherwise. A
    // linked match whose link cannot be read does not count, so a 1 always
    // comes with a link. linkByte is the first byte of the last "Linked" read.
    int GetDriverSymbolByReg(std::wstring& link, const std::uint32_t& vendorId,
                             const std::uint32_t& productId, const std::wstring& classKeyPath,
                             const std::wstring& subkeyPrefix, std::uint8_t& linkByte);

    // Registers for arrival and removal notices of the interface class named
    // by classText (a GUID without braces). HID class -> hidraw devices, the
    // ports class -> tty devices, any other valid class -> a registration that
    // never yields a notice. A null window or a text that is not a class id
    // stores a null handle. Nothing is withdrawn automatically: the caller
    // releases a handle with UnregisterDevChange (a registration costs one fd).
    void RegisterForDevChange(HWND window, HDEVNOTIFY* handle, const wchar_t* classText);

    // The fd to watch for readability; -1 for a null handle.
    static int GetDevNotifyFd(HDEVNOTIFY handle);
    // Reads one pending notice without blocking. Returns 1 and fills notice
    // when an arrival or removal of the registered class was waiting, 0 when
    // nothing (relevant) was pending. Call until it returns 0 after the fd
    // became readable. A handle is read by one thread at a time: it keeps
    // the identities of present devices, so that a removal still carries
    // the ids its device had.
    static int ReadDevNotice(HDEVNOTIFY handle, DevNotice& notice);
    // Releases the registration and its fd; a null handle is ignored.
    static void UnregisterDevChange(HDEVNOTIFY handle);
};
