#include "service_report_sink.h"

#include "key_report_handler.h"

void ServiceReportSink::OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) {
    (void)HandleKeyReport(buffer, count, *store_.Snapshot(), counter_, ports_);
}
