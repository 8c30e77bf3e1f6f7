#pragma once
// Stand-in for input synthesis until a real back end is plugged in where
// the main window builds its ports: every call does nothing, which is also
// what the service does where no means of synthesis exists.

#include "input_synthesis.h"

class NoInputSynthesis final : public InputSynthesis {
public:
    void SendKey(std::uint8_t /*virtualKey*/, std::uint8_t /*scanCode*/,
                 std::uint32_t /*flags*/) override {}
    std::uint8_t ScanCodeOf(std::uint8_t /*virtualKey*/) override { return 0; }
    void RightClickAtPointer() override {}
};
