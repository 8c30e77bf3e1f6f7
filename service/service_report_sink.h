#pragma once
// The reader thread's report sink: each report goes through the logic's
// HandleKeyReport with a snapshot of the key rows taken for that report, so
// a reload on the main thread never mixes two documents into one row.

#include "action_dispatch.h"
#include "button_config.h"
#include "device_connection.h"
#include "press_counter.h"

class ServiceReportSink final : public ReportSink {
public:
    // All references must outlive the sink; they are used on the reader
    // thread.
    ServiceReportSink(const ButtonConfigStore& store, PressCounter& counter, ActionPorts ports)
        : store_(store), counter_(counter), ports_(ports) {}

    void OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) override;

private:
    const ButtonConfigStore& store_;
    PressCounter& counter_;
    ActionPorts ports_;
};
