#include "sim_commands.h"

#include <charconv>
#include <sstream>

namespace {

std::optional<long> ParseNumber(const std::string& text, int base) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

SimParseResult Error(std::string message) {
    return {std::nullopt, std::move(message)};
}

SimParseResult NumberCommand(SimCommand::Kind kind, std::istringstream& words, long low, long high,
                             const std::string& name) {
    std::string word;
    std::string extra;
    if (!(words >> word) || (words >> extra)) {
        return Error(name + " takes one number");
    }
    const auto number = ParseNumber(word, 10);
    if (!number || *number < low || *number > high) {
        return Error(name + ": '" + word + "' is not a number from " + std::to_string(low) +
                     " to " + std::to_string(high));
    }
    SimCommand command;
    command.kind = kind;
    command.number = static_cast<int>(*number);
    return {command, {}};
}

SimParseResult RawCommand(std::istringstream& words) {
    SimCommand command;
    command.kind = SimCommand::Kind::Raw;
    std::string word;
    while (words >> word) {
        const auto byte = ParseNumber(word, 16);
        if (!byte || *byte < 0 || *byte > 0xFF) {
            return Error("raw: '" + word + "' is not a hex byte");
        }
        command.bytes.push_back(static_cast<std::uint8_t>(*byte));
    }
    if (command.bytes.empty() || command.bytes.size() > 64) {
        return Error("raw takes 1 to 64 hex bytes");
    }
    return {command, {}};
}

SimParseResult WordCommand(SimCommand::Kind kind, std::istringstream& words,
                           const std::string& name) {
    std::string extra;
    if (words >> extra) {
        return Error(name + " takes no arguments");
    }
    SimCommand command;
    command.kind = kind;
    return {command, {}};
}

}  // namespace

SimParseResult ParseSimCommand(std::string_view line) {
    std::istringstream words{std::string(line)};
    std::string verb;
    if (!(words >> verb) || verb.front() == '#') {
        return {SimCommand{}, {}};
    }
    if (verb == "press") {
        return NumberCommand(SimCommand::Kind::Press, words, 0, 255, verb);
    }
    if (verb == "combo") {
        return NumberCommand(SimCommand::Kind::Combo, words, 0, 255, verb);
    }
    if (verb == "sleep") {
        return NumberCommand(SimCommand::Kind::Sleep, words, 0, 60000, verb);
    }
    if (verb == "raw") {
        return RawCommand(words);
    }
    if (verb == "unplug") {
        return WordCommand(SimCommand::Kind::Unplug, words, verb);
    }
    if (verb == "plug") {
        return WordCommand(SimCommand::Kind::Plug, words, verb);
    }
    if (verb == "quit") {
        return WordCommand(SimCommand::Kind::Quit, words, verb);
    }
    return Error("unknown command '" + verb + "' (press, combo, raw, unplug, plug, sleep, quit)");
}
