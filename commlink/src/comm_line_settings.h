#pragma once
// The line settings InitComm applies on top of what the port had.

#include <termios.h>

#include <optional>

namespace zan::commlink {

struct LineSettings {
    int baud = 0;
    int parity = 0;    // lowest bit: input parity checking
    int dataBits = 8;  // low byte: 5..8
    int stopBits = 0;  // low byte: 0 one, 1 one and a half (two here), 2 two
};

// The termios constant of a rate, nullopt when termios has none.
std::optional<speed_t> SpeedConstant(int baud);

// Changes only what LineSettings names, plus binary transfer (no line
// editing, echo, signals or CR/NL translation; VMIN 1, VTIME 0).
void ApplyLineSettings(termios& attributes, const LineSettings& settings);

}  // namespace zan::commlink
