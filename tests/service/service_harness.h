#pragma once
// Test harness for the service's process and end-to-end tests: a private
// session folder (runtime folder, HOME, a program folder holding a copy of
// ZanDriverSrv and its document), child processes with pipes, and relay
// windows that record what the service posts.
//
// Waits are bounded polls on fds; nothing asserts how fast anything ran.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/endpoints.h"

namespace service_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous bounds: sanitizer builds under umockdev are slow.
inline constexpr auto LONG_WAIT = 20s;

std::filesystem::path BinDir();

// A folder removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A child process with its stdin, stdout and stderr on pipes (stdin only
// when asked). The destructor kills (SIGKILL) and reaps a child still
// running.
class Process {
public:
    static Process Start(const std::vector<std::string>& argv, bool withStdin);
    Process(Process&& other) noexcept;
    Process& operator=(Process&&) = delete;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    pid_t pid() const { return pid_; }
    void WriteLine(const std::string& line);
    void CloseStdin();
    // The next stdout line, or nullopt when none came within timeout.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Reads stdout lines until one contains text; false on timeout or end.
    bool WaitForLine(const std::string& text, std::chrono::milliseconds timeout = LONG_WAIT);
    void Signal(int signalNumber) const;
    // The exit status (code, or 128 + signal) once the process has ended
    // within timeout; nullopt if it still runs.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout = LONG_WAIT);
    // Everything the child wrote to stderr so far (call after it ended).
    std::string Stderr();

private:
    Process(pid_t pid, int in, int out, int err) : pid_(pid), in_(in), out_(out), err_(err) {}

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outBuffer_;
    std::optional<int> status_;
};

// A relay window played by the test: an owned endpoint and what it got.
class Relay {
public:
    Relay(std::string_view windowClass, std::string_view title);
    // The wParams of the next count messages of number `message`; fewer
    // when the wait runs out.
    std::vector<std::uint64_t> WaitCodes(std::size_t count,
                                         std::chrono::milliseconds timeout = LONG_WAIT,
                                         std::uint32_t message = 2034);
    // Every message that arrives within `window` (used to show that nothing
    // more came).
    std::vector<zan::WindowMessage> Collect(std::chrono::milliseconds window);

private:
    std::optional<zan::WindowMessage> Next(Clock::time_point deadline);
    zan::OwnedEndpoint endpoint_;
};

// A session folder: XDG_RUNTIME_DIR and HOME of this process point into it
// (children inherit them), and program/ holds a copy of ZanDriverSrv. Root
// counts as an administrator, so the service reads program/Palmkey.xml.
class Session {
public:
    Session();
    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path ProgramPath() const;
    std::filesystem::path DeliveredDocument() const;
    std::filesystem::path EndpointFile() const;
    void WriteDeliveredDocument(const std::string& xml) const;
    // True once the service's window can be found (bounded wait).
    bool WaitForServiceWindow(std::chrono::milliseconds timeout = LONG_WAIT) const;
    bool WaitForNoServiceWindow(std::chrono::milliseconds timeout = LONG_WAIT) const;
    bool PostToService(std::uint32_t message, std::uint64_t wParam = 0,
                       std::int64_t lParam = 0) const;

private:
    TempDir dir_;
};

// A document with the given combination codes and click codes for the
// "Palmkey" (default) and "PalmkeyCustom" rows and the mode flag.
struct DocumentRow {
    int click;
    int doubleClick;
    int combination;
};
std::string MakeDocument(int customMode, const std::vector<DocumentRow>& defaultRows,
                         const std::vector<DocumentRow>& customRows);
// The built-in key codes as document rows.
std::vector<DocumentRow> BuiltInRows();

}  // namespace service_test
