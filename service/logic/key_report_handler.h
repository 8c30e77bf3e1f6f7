#pragma once
// The reader thread's one call per read: decode the report and hand it on,
// a click to the press counter, a combination to RunAction. Everything runs
// on the calling thread and returns before the next read.
//
// Use in the reader loop:
//   buffer.fill(0);
//   const std::uint32_t count = device.Read(buffer.data(), buffer.size());
//   HandleKeyReport(buffer, count, *store.Snapshot(), counter, ports);
//   pause READER_PAUSE_MS

#include <cstdint>
#include <optional>
#include <span>

#include "action_dispatch.h"
#include "button_config.h"
#include "press_counter.h"
#include "report_decoder.h"

// The decoded report, for callers that want to record it (nullopt: the
// read carried nothing for the service).
std::optional<KeyReport> HandleKeyReport(std::span<const std::uint8_t> buffer, std::uint32_t count,
                                         const ButtonConfig& config, PressCounter& counter,
                                         const ActionPorts& ports);
