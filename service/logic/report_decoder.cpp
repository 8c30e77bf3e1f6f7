#include "report_decoder.h"

#include "service_constants.h"

namespace {

constexpr std::size_t kKeyFieldByte = 1;
constexpr std::size_t kKindByte = 2;
constexpr std::uint32_t kShortestUsefulRead = kKindByte + 1;
constexpr int kFirstKey = 1;
constexpr int kLastKey = 8;

bool IsKeyNumber(int number) {
    return number >= kFirstKey && number <= kLastKey;
}

}  // namespace

std::optional<KeyReport> DecodeReport(std::span<const std::uint8_t> buffer, std::uint32_t count) {
    if (count == READ_FAILED || count < kShortestUsefulRead ||
        buffer.size() < kShortestUsefulRead) {
        return std::nullopt;
    }
    const std::uint8_t keyField = buffer[kKeyFieldByte];
    switch (buffer[kKindByte]) {
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
            return KeyReport{KeyReportKind::Combination, combination, kLastKey - combination};
        }
        default:
            return std::nullopt;
    }
}
