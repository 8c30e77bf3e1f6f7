#pragma once
// The command language of palmkey-sim, one command per line:
//   press K      a click report for key K (1..8; 0..255 are sent as given)
//   combo N      a combination report for combination number N (1..8; 0..255)
//   raw HEX...   the given bytes as one report, e.g. "raw 03 1a"
//   unplug       the device goes away (a "remove" uevent)
//   plug         the device comes back (an "add" uevent, as a new hidraw node)
//   sleep MS     wait MS milliseconds before the next command
//   quit         end the child and the simulator
// Blank lines and lines starting with '#' are ignored.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SimCommand {
    enum class Kind { Press, Combo, Raw, Unplug, Plug, Sleep, Quit, Nothing };
    Kind kind = Kind::Nothing;
    int number = 0;                   // press, combo, sleep
    std::vector<std::uint8_t> bytes;  // raw
};

struct SimParseResult {
    std::optional<SimCommand> command;
    std::string error;  // set when command is nullopt
};

SimParseResult ParseSimCommand(std::string_view line);
