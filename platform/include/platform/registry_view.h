#pragma once
// A read-only registry under HKEY_LOCAL_MACHINE, as the serial-port look-ups
// see it: open a key by its path, read a value's bytes and type, count the
// subkeys and name them by index.
//
// Key paths are relative to HKEY_LOCAL_MACHINE, with backslashes between the
// key names; names (of keys and of values) compare without regard to case, as
// the registry compares them. An empty path opens the root.
//
// Two implementations:
// - MemoryRegistry: filled by hand, for tests; it counts the keys that are
//   open so that a test can prove every key was closed.
// - SnapshotLinuxRegistry(): the keys the look-ups read, synthesised from
//   udev/sysfs at the moment of the call (see below).
//
// Keys are closed by destroying their handle. Nothing here throws across the
// seam: a key or value that is absent is an empty result.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zan {

// The registry's own type codes, kept so that data can be read as the
// registry hands it out.
enum class RegistryValueType : std::uint32_t {
    None = 0,
    String = 1,  // REG_SZ: UTF-16LE text with its terminating zero
    Binary = 3,  // REG_BINARY
    Dword = 4,   // REG_DWORD: four bytes, little-endian
};

struct RegistryValue {
    RegistryValueType type = RegistryValueType::None;
    std::vector<std::uint8_t> data;
};

// An open key. Destroying it closes it. Not shared between threads.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // nullopt when the key has no value of that name.
    virtual std::optional<RegistryValue> QueryValue(std::wstring_view name) const = 0;
    virtual std::uint32_t SubkeyCount() const = 0;
    // The name of the subkey at index (0 .. SubkeyCount() - 1) in the key's
    // own order; nullopt beyond the end.
    virtual std::optional<std::wstring> SubkeyName(std::uint32_t index) const = 0;
};

using RegistryKeyHandle = std::unique_ptr<RegistryKey>;

class RegistryView {
public:
    virtual ~RegistryView() = default;
    // A handle to the key, or null when there is no such key (or the path has
    // an empty key name in it, as "A\\B" or a trailing backslash).
    virtual RegistryKeyHandle OpenKey(std::wstring_view path) const = 0;
};

// Registry text: UTF-16LE with a terminating zero (surrogate pairs above the
// basic plane).
std::vector<std::uint8_t> EncodeRegistryText(std::wstring_view text);
// Text up to the first zero character or the end of the data, whichever comes
// first; an odd last byte and unpaired surrogates are dropped.
std::wstring DecodeRegistryText(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> EncodeRegistryDword(std::uint32_t number);
// Case-insensitive name comparison, as the registry compares key and value
// names.
bool RegistryNamesEqual(std::wstring_view left, std::wstring_view right);

// In-memory registry. Fill it first, then open keys: changing it while keys
// are open is not supported. Keys keep the registry's contents alive, so a
// handle may outlive the MemoryRegistry object.
class MemoryRegistry : public RegistryView {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;
    MemoryRegistry(MemoryRegistry&&) noexcept;
    MemoryRegistry& operator=(MemoryRegistry&&) noexcept;

    // Creates the key and any missing key on its path; subkeys keep the order
    // in which they were first added. False for a path with an empty name.
    bool AddKey(std::wstring_view path);
    // Adds the key as AddKey does, then sets (or replaces) the value.
    bool SetValue(std::wstring_view keyPath, std::wstring_view name, RegistryValue value);

    RegistryKeyHandle OpenKey(std::wstring_view path) const override;

    // Keys opened and not yet closed.
    int OpenKeyCount() const;

    // The contents, shared with the open keys; defined where they are used.
    struct State;

private:
    std::shared_ptr<State> state_;
};

// Key paths and names of the Linux view.
inline constexpr std::wstring_view SERIAL_COMM_KEY_PATH = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr std::wstring_view DEVICE_CLASSES_KEY_PATH =
    L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";
inline constexpr std::wstring_view COM_PORT_CLASS = L"{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
inline constexpr std::wstring_view HID_CLASS = L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

// The registry as the serial-port look-ups expect it, made from the devices
// present now (later changes are not seen; take a new snapshot):
//
// HARDWARE\DEVICEMAP\SERIALCOMM
//     one REG_SZ value per serial tty that has a device behind it, named
//     "\Device\<sysname>", data "<sysname>" (e.g. ttyUSB0). Virtual consoles,
//     pseudo-terminals and 8250 ports without a UART are left out.
// SYSTEM\CurrentControlSet\Control\DeviceClasses\{86e0d1e0-...} (COM ports)
//     one subkey per such tty:
//     ##?#USB#VID_0403&PID_6001#ttyUSB0#{86e0d1e0-8089-11d0-9ce4-08003e301f73}
//     (ids of the nearest USB device, upper-case hex), or
//     ##?#TTY#ttyS0#{...} for a port without a USB device above it.
// SYSTEM\CurrentControlSet\Control\DeviceClasses\{4d1e55b2-...} (HID)
//     one subkey per hidraw node, ##?#HID#VID_1314&PID_1070#hidraw0#{...}.
// Under each interface subkey: "#\Control" with "Linked" = REG_DWORD 1 (the
// view shows present interfaces only) and "#" with "SymbolicLink" = REG_SZ
// device node (/dev/ttyUSB0, /dev/hidraw0).
//
// Subkeys come in sysfs path order. Without udev the snapshot holds the keys
// and no devices.
MemoryRegistry SnapshotLinuxRegistry();

}  // namespace zan
