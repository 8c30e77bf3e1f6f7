#include "report_decoder.h"

#include "service_constants.h"

namespace {

constexpr std::size_t KEY_FIELD_BYTE = 1;
constexpr std::size_t KIND_BYTE = 2;
constexpr std::uint32_t SHORTEST_USEFUL_READ = KIND_BYTE + 1;
constexpr int FIRST_KEY = 1;
constexpr int LAST_KEY = 8;

bool IsKeyNumber(int number) {
    return number >= FIRST_KEY && number <= LAST_KEY;
}

}  // namespace

std::optional<KeyReport> DecodeReport(std::span<const std::uint8_t> buffer, std::uint32_t count) {
    if (count == READ_FAILED || count < SHORTEST_USEFUL_READ ||
        buffer.size() < SHORTEST_USEFUL_READ) {
        return std::nullopt;
    }
    const std::uint8_t keyField = buffer[KEY_FIELD_BYTE];
    switch (buffer[KIND_BYTE]) {
        case REPORT_KIND_CLICK: {
            const int key = keyField;
            if (!IsKeyNumber(key)) {
                return std::nullopt;
            }
            return KeyReport{KeyReportKind::Click, key, key - 1};
        }
        case REPORT_KIND_COMBINATION: {
            const int combination = keyField & 0x0F;
            if (!IsKeyNumber(combination)) {
                return std::nullopt;
            }
            return KeyReport{KeyReportKind::Combination, combination, LAST_KEY - combination};
        }
        default:
            return std::nullopt;
    }
}
