#pragma once
// The program palmkey-sim runs beside the simulated device: started with
// an argument vector (no shell), watched through a pidfd, ended with
// SIGTERM and always reaped.

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

class ChildProcess {
public:
    // Starts argv[0] (looked up in PATH) with the given arguments and the
    // environment of this process; the child gets the default signal mask.
    // nullopt with error set when it cannot be started.
    static std::optional<ChildProcess> Start(const std::vector<std::string>& argv,
                                             std::string& error);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends and reaps a child that is still running.
    ~ChildProcess();

    // Readable once the child has ended.
    int exitFd() const { return pidfd_.get(); }
    pid_t pid() const { return pid_; }

    // Sends SIGTERM (if still running), waits for the end and returns the
    // exit status as a shell reports it: the code, or 128 + the signal.
    int TerminateAndReap();
    // Reaps a child that has ended; its status as above.
    int Reap();

private:
    ChildProcess(pid_t pid, zan::UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}

    pid_t pid_ = -1;
    zan::UniqueFd pidfd_;
    std::optional<int> status_;
};
