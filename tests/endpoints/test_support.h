#pragma once
// What the endpoint tests share: a private runtime folder per test, raw
// datagram sockets, and child processes with bounded waits.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/endpoints.h"
#include "platform/unique_fd.h"

namespace zan::endpoint_test {

using namespace std::chrono_literals;

// A fresh 0700 folder under /tmp standing for XDG_RUNTIME_DIR; removed
// with everything in it afterwards. The test process's own environment is
// left alone: code under test gets folder(), children environment().
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder();
    PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
    PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;
    ~PrivateRuntimeFolder();

    const std::string& path() const { return path_; }
    std::string windows() const { return path_ + "/zansoftware/windows"; }
    EndpointFolder folder() const;
    // This process's environment with XDG_RUNTIME_DIR set to path().
    std::vector<std::string> environment() const;

private:
    std::string path_;
};

using Fd = zan::UniqueFd;

// A datagram socket connected to path; invalid when connect() fails.
Fd ConnectedDatagramSocket(const std::string& path);
// Sends bytes as one datagram to path; true when queued.
bool SendRaw(const std::string& path, std::span<const std::uint8_t> bytes);
// A socket file at path whose owner is gone, as a crashed program leaves it.
void MakeStaleSocketFile(const std::string& path);

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// A child with its standard output and error on pipes. The destructor kills
// and reaps a child that is still running.
class ChildProcess {
public:
    // inherited: descriptors given to the child as fd 3, 4, ...
    ChildProcess(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment,
                 const std::vector<int>& inherited = {});
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool started() const { return pid_ > 0; }
    // The next line (without '\n'), or nullopt when the stream ended or the
    // bound passed first.
    std::optional<std::string> ReadOutLine(std::chrono::milliseconds bound = 10s);
    std::optional<std::string> ReadErrLine(std::chrono::milliseconds bound = 10s);
    void Signal(int signal) const;
    // Waits for the end (killing the child when the bound passes) and
    // collects what is left of both streams.
    ProcessResult Finish(std::chrono::milliseconds bound = 10s);

private:
    struct Stream {
        Fd fd;
        std::string buffer;
        bool ended = false;
    };
    std::optional<std::string> ReadLine(Stream& stream, std::chrono::milliseconds bound);
    static bool Fill(Stream& stream, std::chrono::milliseconds bound);

    pid_t pid_ = -1;
    int status_ = -1;
    Stream out_;
    Stream err_;
};

// Runs a program to its end.
ProcessResult Run(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment);

}  // namespace zan::endpoint_test
