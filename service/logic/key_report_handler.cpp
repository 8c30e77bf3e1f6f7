#include "key_report_handler.h"

std::optional<KeyReport> HandleKeyReport(std::span<const std::uint8_t> buffer, std::uint32_t count,
                                         const ButtonConfig& config, PressCounter& counter,
                                         const ActionPorts& ports) {
    const std::optional<KeyReport> report = DecodeReport(buffer, count);
    if (!report) {
        return std::nullopt;
    }
    switch (report->kind) {
        case KeyReportKind::Click:
            counter.CountPress(config, report->keyNumber);
            break;
        case KeyReportKind::Combination:
            RunAction(config, report->row, ports);
            break;
    }
    return report;
}
