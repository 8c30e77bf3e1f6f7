#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace zan::endpoint_test {
namespace {

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

const sockaddr* Generic(const sockaddr_un& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

int WaitStatusToCode(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace

PrivateRuntimeFolder::PrivateRuntimeFolder() {
    std::string pattern = "/tmp/zan-endpoint-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

EndpointFolder PrivateRuntimeFolder::folder() const {
    return EndpointFolder::For(path_.c_str(), ::geteuid());
}

std::vector<std::string> PrivateRuntimeFolder::environment() const {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (!std::string_view(*variable).starts_with("XDG_RUNTIME_DIR=")) {
            variables.emplace_back(*variable);
        }
    }
    variables.push_back("XDG_RUNTIME_DIR=" + path_);
    return variables;
}

PrivateRuntimeFolder::~PrivateRuntimeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Fd ConnectedDatagramSocket(const std::string& path) {
    Fd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = AddressOf(path);
    if (::connect(socket.get(), Generic(address), sizeof(address)) != 0) {
        return Fd();
    }
    return socket;
}

bool SendRaw(const std::string& path, std::span<const std::uint8_t> bytes) {
    const Fd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = AddressOf(path);
    return ::sendto(socket.get(), bytes.data(), bytes.size(), MSG_DONTWAIT, Generic(address),
                    sizeof(address)) == static_cast<ssize_t>(bytes.size());
}

void MakeStaleSocketFile(const std::string& path) {
    const Fd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = AddressOf(path);
    if (::bind(socket.get(), Generic(address), sizeof(address)) != 0) {
        throw std::runtime_error("cannot bind " + path);
    }
}

namespace {

// posix_spawn wants mutable strings; the vector keeps them alive.
std::vector<char*> PointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           const std::vector<int>& inherited) {
    std::array<int, 2> outPipe{-1, -1};
    std::array<int, 2> errPipe{-1, -1};
    if (::pipe2(outPipe.data(), O_CLOEXEC) != 0 || ::pipe2(errPipe.data(), O_CLOEXEC) != 0) {
        return;
    }
    out_.fd = Fd(outPipe[0]);
    err_.fd = Fd(errPipe[0]);
    const Fd outWrite(outPipe[1]);
    const Fd errWrite(errPipe[1]);

    // Moved out of the way first, so that placing one at 3, 4, ... never
    // overwrites another that is still to be placed.
    std::vector<Fd> lifted;
    lifted.reserve(inherited.size());
    for (const int fd : inherited) {
        lifted.emplace_back(::fcntl(fd, F_DUPFD_CLOEXEC, 100));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    for (std::size_t index = 0; index < lifted.size(); ++index) {
        posix_spawn_file_actions_adddup2(&actions, lifted[index].get(),
                                         static_cast<int>(3 + index));
    }
    std::vector<std::string> argumentCopy = arguments;
    std::vector<std::string> environmentCopy = environment;
    const std::vector<char*> argv = PointersTo(argumentCopy);
    const std::vector<char*> envp = PointersTo(environmentCopy);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::Fill(Stream& stream, std::chrono::milliseconds bound) {
    pollfd watched{stream.fd.get(), POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(bound.count()));
    if (ready <= 0) {
        return false;
    }
    std::array<char, 4096> chunk{};
    const ssize_t size = ::read(stream.fd.get(), chunk.data(), chunk.size());
    if (size <= 0) {
        stream.ended = true;
        return false;
    }
    stream.buffer.append(chunk.data(), static_cast<std::size_t>(size));
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(Stream& stream, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const std::size_t end = stream.buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = stream.buffer.substr(0, end);
            stream.buffer.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (stream.ended || left.count() <= 0 || !Fill(stream, left)) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> ChildProcess::ReadOutLine(std::chrono::milliseconds bound) {
    return ReadLine(out_, bound);
}

std::optional<std::string> ChildProcess::ReadErrLine(std::chrono::milliseconds bound) {
    return ReadLine(err_, bound);
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

ProcessResult ChildProcess::Finish(std::chrono::milliseconds bound) {
    ProcessResult result;
    if (pid_ <= 0) {
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    // Both streams end when the child (and anything it passed them to) ends.
    while (!(out_.ended && err_.ended) && std::chrono::steady_clock::now() < deadline) {
        std::array<pollfd, 2> watched{{{out_.fd.get(), POLLIN, 0}, {err_.fd.get(), POLLIN, 0}}};
        if (::poll(watched.data(), watched.size(), 100) > 0) {
            if (watched[0].revents != 0) {
                Fill(out_, 0ms);
            }
            if (watched[1].revents != 0) {
                Fill(err_, 0ms);
            }
        }
    }
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    if (reaped != pid_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    result.status = WaitStatusToCode(status);
    result.out = std::exchange(out_.buffer, {});
    result.err = std::exchange(err_.buffer, {});
    return result;
}

ProcessResult Run(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment) {
    ChildProcess child(arguments, environment);
    return child.Finish();
}

}  // namespace zan::endpoint_test
