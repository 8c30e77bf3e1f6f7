#include "child_process.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include "platform/errno_text.h"
#include "platform/unique_fd.h"

using zan::ErrnoText;

namespace {

int OpenPidFd(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int ShellStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    if (WIFSIGNALED(waitStatus)) {
        return 128 + WTERMSIG(waitStatus);
    }
    return 1;
}

}  // namespace

std::optional<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                std::string& error) {
    if (argv.empty()) {
        error = "no command to run";
        return std::nullopt;
    }
    std::vector<char*> arguments;
    arguments.reserve(argv.size() + 1);
    for (const auto& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);

    // A close-on-exec pipe tells the parent whether exec worked: it reads
    // errno from a failed exec, or end-of-file after a good one.
    int execReport[2];
    if (::pipe2(execReport, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + ErrnoText(errno);
        return std::nullopt;
    }
    zan::UniqueFd reportReader(execReport[0]);
    zan::UniqueFd reportWriter(execReport[1]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("fork: ") + ErrnoText(errno);
        return std::nullopt;
    }
    if (pid == 0) {
        reportReader.Reset();
        // If the simulator is killed outright, the program must not outlive
        // it: it gets the SIGTERM it would have had at a normal end.
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) {
            ::_exit(127);
        }
        sigset_t none;
        sigemptyset(&none);
        ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
        ::execvp(arguments[0], arguments.data());
        const int execErrno = errno;
        [[maybe_unused]] const ssize_t written =
            ::write(reportWriter.get(), &execErrno, sizeof execErrno);
        ::_exit(127);
    }
    reportWriter.Reset();
    int execErrno = 0;
    ssize_t got = 0;
    do {
        got = ::read(reportReader.get(), &execErrno, sizeof execErrno);
    } while (got < 0 && errno == EINTR);
    reportReader.Reset();
    if (got == static_cast<ssize_t>(sizeof execErrno)) {
        ::waitpid(pid, nullptr, 0);
        error = "cannot run " + argv[0] + ": " + ErrnoText(execErrno);
        return std::nullopt;
    }
    zan::UniqueFd pidfd(OpenPidFd(pid));
    if (!pidfd.valid()) {
        error = std::string("pidfd_open: ") + ErrnoText(errno);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return std::nullopt;
    }
    return ChildProcess(pid, std::move(pidfd));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      pidfd_(std::move(other.pidfd_)),
      status_(std::exchange(other.status_, std::nullopt)) {}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        TerminateAndReap();
    }
}

int ChildProcess::TerminateAndReap() {
    if (status_) {
        return *status_;
    }
    ::kill(pid_, SIGTERM);
    return Reap();
}

int ChildProcess::Reap() {
    if (status_) {
        return *status_;
    }
    int waitStatus = 0;
    pid_t reaped = 0;
    do {
        reaped = ::waitpid(pid_, &waitStatus, 0);
    } while (reaped < 0 && errno == EINTR);
    status_ = reaped == pid_ ? ShellStatus(waitStatus) : 1;
    return *status_;
}
