#include "service_report_sink.h"

#include "report_decoder.h"

void ServiceReportSink::OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) {
    const auto report = DecodeReport(buffer, count);
    if (!report) {
        return;
    }
    // One snapshot per report: a reload on the main thread never mixes two
    // documents into one row.
    const auto config = store_.Snapshot();
    if (report->kind == KeyReportKind::Click) {
        counter_.CountPress(*config, report->keyNumber);
        return;
    }
    state_.nComboIndex.store(report->row);
    RunAction(*config, state_.nComboIndex.load(), ports_);
}
