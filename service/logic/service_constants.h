#pragma once
// Numbers and names the service shares with the settings program, the host
// applications and the device. Every value here is part of an interface
// someone else relies on: change none of them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Window messages. All are posted, never sent; nothing answers them.
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t MSG_HOST_COMMAND = 2034;   // wParam code, lParam 0
inline constexpr std::uint32_t MSG_RELOAD_CONFIG = 2427;  // wParam 0, lParam 0
inline constexpr std::uint32_t MSG_SHOW_PROMPT = 2428;    // wParam 0, lParam PromptKind

// WM_SYSCOMMAND's command (masked with 0xFFF0) that opens the about box.
inline constexpr std::uint64_t SYSCOMMAND_ABOUT = 16;
inline constexpr std::uint64_t SYSCOMMAND_MASK = 0xFFF0;
// WM_SYSCOMMAND's close command: a dialog's default handling closes it, as
// WM_CLOSE does.
inline constexpr std::uint64_t SYSCOMMAND_CLOSE = 0xF060;

// Timers of the service's main window: ids and periods.
inline constexpr std::uint32_t TIMER_POLL_DEVICE = 100001;
inline constexpr std::uint32_t TIMER_HIDE_WINDOW = 100002;
inline constexpr std::uint32_t TIMER_CLICK_WINDOW = 100004;
inline constexpr std::uint32_t TIMER_POLL_DEVICE_MS = 1000;
inline constexpr std::uint32_t TIMER_HIDE_WINDOW_MS = 0;
inline constexpr std::uint32_t TIMER_CLICK_WINDOW_MS = 500;

// The device.
inline constexpr std::uint16_t DEVICE_VENDOR_ID = 0x1314;
inline constexpr std::uint16_t DEVICE_PRODUCT_ID = 0x1070;

// The reader: one report buffer, one timed read, one pause per pass.
inline constexpr std::size_t REPORT_BUFFER_LENGTH = 64;
inline constexpr std::uint32_t REPORT_READ_TIMEOUT_MS = 1000;
inline constexpr std::uint32_t READER_PAUSE_MS = 10;

// Byte 2 of an input report. Every other value (0xCA among them) carries
// nothing for the service.
inline constexpr std::uint8_t REPORT_KIND_CLICK = 0x1A;
inline constexpr std::uint8_t REPORT_KIND_COMBINATION = 0xDA;

// The configuration document, as LoadButtonConfig's three location
// arguments. Backslashes are folder separators.
inline constexpr std::wstring_view DOCUMENT_FILE_NAME = L"Palmkey.xml";
inline constexpr std::wstring_view DOCUMENT_FOLDER = L"\\ZanSoftware\\Drivers\\";
inline constexpr std::wstring_view DOCUMENT_RELATIVE_PATH = L"\\ZanSoftware\\Drivers\\Palmkey.xml";

// The service's own window: the settings program and the service itself
// find it by this pair, so the title must never change.
inline constexpr std::string_view SERVICE_WINDOW_CLASS = "#32770";
inline constexpr std::string_view SERVICE_WINDOW_TITLE = "ZanDriverSrv";

// Device-interface classes the main window registers for notices, in the
// order of registration: HID interfaces, a further interface class, ports.
inline constexpr const wchar_t* INTERFACE_CLASS_HID = L"4d1e55b2-f16f-11cf-88cb-001111000030";
inline constexpr const wchar_t* INTERFACE_CLASS_OTHER = L"6C292E54-943B-4F84-A45A-D36CCA47EA0B";
inline constexpr const wchar_t* INTERFACE_CLASS_PORTS = L"4D36E978-E325-11CE-BFC1-08002BE10318";
inline constexpr std::array<const wchar_t*, 3> NOTICE_INTERFACE_CLASSES = {
    INTERFACE_CLASS_HID, INTERFACE_CLASS_OTHER, INTERFACE_CLASS_PORTS};

// lParam of MSG_SHOW_PROMPT: which popup to show. Any other value shows
// nothing.
enum class PromptKind : std::int32_t {
    VolumeUp = 1,
    VolumeDown = 2,
    HostPrint = 4,
    ScreenCopy = 5,
};

// A double-press code that the service turns into a right click at the
// pointer instead of a host command.
inline constexpr std::int32_t DOUBLE_CLICK_RIGHT_CLICK_CODE = 273;
