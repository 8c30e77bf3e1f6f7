#pragma once
// What the reader thread does with one report: a click goes to the press
// counter, a combination sets nComboIndex and runs the row's action, on the
// reader thread, before the next read. Reports that carry nothing for the
// service (other kinds, keys outside 1..8, short or failed reads) are
// dropped by the decoder.

#include "action_dispatch.h"
#include "button_config.h"
#include "device_connection.h"
#include "driver_state.h"
#include "press_counter.h"

class ServiceReportSink final : public ReportSink {
public:
    // All references must outlive the sink; they are used on the reader
    // thread.
    ServiceReportSink(DriverState& state, const ButtonConfigStore& store, PressCounter& counter,
                      ActionPorts ports)
        : state_(state), store_(store), counter_(counter), ports_(ports) {}

    void OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) override;

private:
    DriverState& state_;
    const ButtonConfigStore& store_;
    PressCounter& counter_;
    ActionPorts ports_;
};
