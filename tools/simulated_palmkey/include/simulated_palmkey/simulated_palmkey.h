#pragma once
// A simulated Palmkey (and any other HID device) on a umockdev testbed, for
// tests, end-to-end runs and the demo.
//
// The program using this must run under umockdev's preload
// (`umockdev-wrapper PROGRAM`); child processes started after the testbed
// exists inherit it (LD_PRELOAD, UMOCKDEV_DIR) and see the same devices.
//
// Each added device is a USB device with a HID interface, its `hid` device
// (HID_ID, report_descriptor) and a `hidraw` node /dev/hidrawN. The node is
// a pseudo-terminal in raw mode: bytes written with WriteReport come out of
// it unchanged. It is set to hand out whole reports of the spec's
// inputReportSize: poll() shows it readable, and a blocking read returns,
// only once that many bytes are there, so a reader that asks for at most
// one report's bytes gets exactly one report, as from a real hidraw node.
// A reader asking for more may get several reports at once.
//
// umockdev cannot re-create a /dev name it has removed, so every added
// device takes the next unused hidraw number: a re-plugged device comes back
// as hidraw1, hidraw2 ...
//
// Programs linking this library get sanitizer defaults that make the
// preload work under ASan and TSan (src/sanitizer_defaults.cpp).
//
// Not thread-safe: drive one testbed from one thread.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zan::test {

inline constexpr std::uint16_t PALMKEY_VENDOR_ID = 0x1314;
inline constexpr std::uint16_t PALMKEY_PRODUCT_ID = 0x1070;
// Report kinds the device sends in byte 1 of its input report (byte 2 on
// the Windows buffer, which has the report id first).
inline constexpr std::uint8_t PALMKEY_KIND_CLICK = 0x1A;
inline constexpr std::uint8_t PALMKEY_KIND_COMBINATION = 0xDA;

// The Palmkey's report descriptor: one vendor collection with a 63-byte
// input and a 63-byte output report and no report id, so that the Windows
// buffer (id byte + report) is 64 bytes.
std::vector<std::uint8_t> PalmkeyReportDescriptor();
// The same reports, declared with report id 1 (the kernel then hands out 64
// bytes starting with the id).
std::vector<std::uint8_t> PalmkeyReportDescriptorWithReportIds();
// A boot keyboard's descriptor, for devices that must not match.
std::vector<std::uint8_t> KeyboardReportDescriptor();

// The bytes the kernel hands a hidraw reader for one Palmkey input report:
// without report ids 63 bytes {key, kind, 0...}; with report ids 64 bytes
// {1, key, kind, 0...}.
std::vector<std::uint8_t> PalmkeyInputReport(std::uint8_t keyField, std::uint8_t kind,
                                             bool withReportIds = false);

struct SimulatedHidSpec {
    std::uint16_t vendorId = PALMKEY_VENDOR_ID;
    std::uint16_t productId = PALMKEY_PRODUCT_ID;
    std::vector<std::uint8_t> reportDescriptor = PalmkeyReportDescriptor();
    // USB port (1-<port>) the device hangs on; 0 takes a new port. Giving the
    // port of an earlier device adds another interface to that USB device.
    int usbPort = 0;
    int interfaceNumber = 0;
    // Bytes per input report as the kernel hands them out (63 for the
    // Palmkey without report ids, 64 with); 0 lets every byte through alone.
    std::size_t inputReportSize = 63;
};

struct SimulatedHidDevice {
    std::string hidrawSyspath;  // /sys/devices/.../hidraw/hidrawN
    std::string hidSyspath;     // its parent hid device
    std::string usbSyspath;     // the USB device (1-<port>)
    std::string sysname;        // hidrawN
    std::string devnode;        // /dev/hidrawN
    int usbPort = 0;
};

// A serial port: a tty node, on a USB device (ttyUSBn) or on the platform
// (ttySn, no USB ids).
struct SimulatedSerialSpec {
    bool onUsb = true;
    std::uint16_t vendorId = 0x0403;
    std::uint16_t productId = 0x6001;
};

struct SimulatedSerialPort {
    std::string syspath;     // /sys/devices/.../tty/ttyUSBn
    std::string usbSyspath;  // the USB device; empty for a platform port
    std::string sysname;     // ttyUSBn or ttySn
    std::string devnode;     // /dev/ttyUSBn or /dev/ttySn
};

class SimulatedDeviceBed {
public:
    // Creates an empty testbed (no devices). Aborts with a message when the
    // program does not run under umockdev's preload, since every result
    // would then come from the real machine.
    SimulatedDeviceBed();
    ~SimulatedDeviceBed();
    SimulatedDeviceBed(const SimulatedDeviceBed&) = delete;
    SimulatedDeviceBed& operator=(const SimulatedDeviceBed&) = delete;

    // Adds (plugs in) a device and returns its names. umockdev announces
    // each new entry with an "add" uevent: hidraw first, then its parents.
    SimulatedHidDevice AddHidDevice(const SimulatedHidSpec& spec);
    SimulatedHidDevice AddPalmkey(bool withReportIds = false);

    // Unplugs: readers of the node see a hang-up (POLLHUP, failing reads);
    // then the hidraw, hid and (when no other interface uses it) USB entries
    // are announced with "remove" and removed, in that order.
    void Unplug(const SimulatedHidDevice& device);

    // Serial ports, announced and removed as HID devices are. A port's node
    // is a pty too, hung up on unplug.
    SimulatedSerialPort AddSerialPort(const SimulatedSerialSpec& spec);
    void Unplug(const SimulatedSerialPort& port);

    // Sends another uevent for the hidraw node ("change", a repeated "add" ...).
    void SendUevent(const SimulatedHidDevice& device, const std::string& action);

    // Writes bytes to the node as the device would send them; true when all
    // were written.
    bool WriteReport(const SimulatedHidDevice& device, std::span<const std::uint8_t> report);
    bool WriteKey(const SimulatedHidDevice& device, std::uint8_t keyField, std::uint8_t kind,
                  bool withReportIds = false);

    // What the host wrote to the node (output reports), as far as it arrives
    // within timeoutMs; empty when nothing came.
    std::vector<std::uint8_t> ReadFromHost(const SimulatedHidDevice& device, std::size_t most,
                                           int timeoutMs);

    // The testbed's root folder (holds sys/ and dev/).
    std::string RootDir() const;

private:
    void KeepReportBoundaries(const SimulatedHidDevice& device, std::size_t reportSize);
    void RemoveEntry(const std::string& syspath);
    void HangUpReaders(const std::string& sysname, const std::string& devnode);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zan::test
