#include "platform/endpoints.h"

namespace zan {
namespace {

// Byte by byte, so the wire format is little-endian whatever the host is.
template <typename Unsigned>
void PutLittleEndian(Unsigned value, std::uint8_t* out) {
    for (std::size_t index = 0; index < sizeof(Unsigned); ++index) {
        out[index] = static_cast<std::uint8_t>(value >> (8U * index));
    }
}

template <typename Unsigned>
Unsigned GetLittleEndian(const std::uint8_t* in) {
    Unsigned value = 0;
    for (std::size_t index = 0; index < sizeof(Unsigned); ++index) {
        value |= static_cast<Unsigned>(static_cast<Unsigned>(in[index]) << (8U * index));
    }
    return value;
}

constexpr std::size_t MESSAGE_OFFSET = 0;
constexpr std::size_t WPARAM_OFFSET = 8;
constexpr std::size_t LPARAM_OFFSET = 16;

}  // namespace

std::array<std::uint8_t, WINDOW_MESSAGE_SIZE> EncodeWindowMessage(const WindowMessage& message) {
    std::array<std::uint8_t, WINDOW_MESSAGE_SIZE> bytes{};
    PutLittleEndian(message.message, bytes.data() + MESSAGE_OFFSET);
    PutLittleEndian(message.wParam, bytes.data() + WPARAM_OFFSET);
    PutLittleEndian(static_cast<std::uint64_t>(message.lParam), bytes.data() + LPARAM_OFFSET);
    return bytes;
}

std::optional<WindowMessage> DecodeWindowMessage(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != WINDOW_MESSAGE_SIZE) {
        return std::nullopt;
    }
    WindowMessage message;
    message.message = GetLittleEndian<std::uint32_t>(bytes.data() + MESSAGE_OFFSET);
    message.wParam = GetLittleEndian<std::uint64_t>(bytes.data() + WPARAM_OFFSET);
    message.lParam =
        static_cast<std::int64_t>(GetLittleEndian<std::uint64_t>(bytes.data() + LPARAM_OFFSET));
    return message;
}

}  // namespace zan
