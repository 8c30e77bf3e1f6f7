#pragma once
// Decoding of one input report as the reader thread gets it.
//
// Layout (the Windows one; the Linux channel puts a 0 first when the device
// has no report ids, so the layout holds there too):
//   byte 0  report id, not examined
//   byte 1  key field
//   byte 2  kind: REPORT_KIND_CLICK (0x1A) or REPORT_KIND_COMBINATION (0xDA)
//   3..63   not examined
// Click: byte 1 is the key number 1..8, key-table row = key number - 1.
// Combination: the low four bits of byte 1 are the combination number 1..8,
// key-table row = 8 - number (number 8 is row 0); the high bits are ignored.
//
// Pure function, any thread.

#include <cstdint>
#include <optional>
#include <span>

#include "commlink/read_result.h"

enum class KeyReportKind { Click, Combination };

struct KeyReport {
    KeyReportKind kind = KeyReportKind::Click;
    int keyNumber = 0;  // 1..8: the click key number or the combination number
    int row = 0;        // 0..7: the key-table row it selects
    friend bool operator==(const KeyReport&, const KeyReport&) = default;
};

// buffer: the report buffer (REPORT_BUFFER_LENGTH on the reader); count: the read's
// result. Nothing is decoded from a read shorter than 3 bytes, from
// READ_FAILED (0xFFFFFFFF), from any other kind, or from a key number or
// combination number outside 1..8: such a report has no key-table row.
std::optional<KeyReport> DecodeReport(std::span<const std::uint8_t> buffer, std::uint32_t count);
