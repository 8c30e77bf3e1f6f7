#pragma once
// Synthesised input: keys by virtual key and scan code, and a right click
// at the pointer. The events go to whatever has the input focus; nothing is
// reported back. Implementations are safe to call from any thread and never
// throw; where no means of synthesis exists they do nothing.

#include <cstdint>

// Flags of SendKey.
inline constexpr std::uint32_t KEY_FLAG_EXTENDED = 0x1;
inline constexpr std::uint32_t KEY_FLAG_RELEASE = 0x2;

// Virtual keys the actions synthesise.
inline constexpr std::uint8_t VIRTUAL_KEY_VOLUME_MUTE = 0xAD;
inline constexpr std::uint8_t VIRTUAL_KEY_PRINT_SCREEN = 0x2C;

class InputSynthesis {
public:
    virtual ~InputSynthesis() = default;

    // One key event: a press, or a release when flags hold KEY_FLAG_RELEASE.
    virtual void SendKey(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) = 0;

    // The scan code of a virtual key on the present keyboard; 0 when it has
    // none.
    virtual std::uint8_t ScanCodeOf(std::uint8_t virtualKey) = 0;

    // Right button down and up at the pointer's present position.
    virtual void RightClickAtPointer() = 0;
};
