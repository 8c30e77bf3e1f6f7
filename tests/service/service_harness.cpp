#include "service_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace service_test {

namespace {

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

int ShellStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : -1;
}

std::array<int, 2> Pipe() {
    std::array<int, 2> fds{-1, -1};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    }
    return fds;
}

}  // namespace

std::filesystem::path BinDir() {
    return ZAN_TEST_BIN_DIR;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zan-service-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Process Process::Start(const std::vector<std::string>& argv, bool withStdin) {
    std::vector<char*> arguments;
    for (const auto& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);

    auto in = withStdin ? Pipe() : std::array<int, 2>{-1, -1};
    auto out = Pipe();
    auto err = Pipe();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withStdin) {
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawnp(&pid, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    CloseFd(in[0]);
    CloseFd(out[1]);
    CloseFd(err[1]);
    if (spawned != 0) {
        CloseFd(in[1]);
        CloseFd(out[0]);
        CloseFd(err[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
    }
    return Process(pid, in[1], out[0], err[0]);
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      in_(std::exchange(other.in_, -1)),
      out_(std::exchange(other.out_, -1)),
      err_(std::exchange(other.err_, -1)),
      outBuffer_(std::move(other.outBuffer_)),
      status_(other.status_) {}

Process::~Process() {
    CloseFd(in_);
    // A child still running after a failed test gets the chance to end its
    // own children first.
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGTERM);
        if (!WaitExit(5s)) {
            ::kill(pid_, SIGKILL);
            int ignored = 0;
            ::waitpid(pid_, &ignored, 0);
        }
    }
    CloseFd(out_);
    CloseFd(err_);
}

void Process::WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    if (in_ >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(in_, text.data(), text.size());
    }
}

void Process::CloseStdin() {
    CloseFd(in_);
}

std::optional<std::string> Process::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        const auto end = outBuffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = outBuffer_.substr(0, end);
            outBuffer_.erase(0, end + 1);
            return line;
        }
        if (out_ < 0) {
            return std::nullopt;
        }
        pollfd fd{out_, POLLIN, 0};
        if (::poll(&fd, 1, RemainingMs(deadline)) <= 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t got = ::read(out_, chunk, sizeof chunk);
        if (got <= 0) {
            CloseFd(out_);
            continue;
        }
        outBuffer_.append(chunk, static_cast<std::size_t>(got));
    }
}

bool Process::WaitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const auto line = ReadLine(std::chrono::milliseconds(RemainingMs(deadline)));
        if (!line) {
            return false;
        }
        if (line->find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void Process::Signal(int signalNumber) const {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, signalNumber);
    }
}

std::optional<int> Process::WaitExit(std::chrono::milliseconds timeout) {
    if (status_) {
        return status_;
    }
    const auto deadline = Clock::now() + timeout;
    while (true) {
        int waitStatus = 0;
        const pid_t reaped = ::waitpid(pid_, &waitStatus, WNOHANG);
        if (reaped == pid_) {
            status_ = ShellStatus(waitStatus);
            return status_;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(10ms);
    }
}

std::string Process::Stderr() {
    std::string text;
    if (err_ < 0) {
        return text;
    }
    ::fcntl(err_, F_SETFL, O_NONBLOCK);
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(err_, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
}

namespace {

zan::OwnedEndpoint CreateEndpoint(std::string_view windowClass, std::string_view title) {
    auto created = zan::OwnedEndpoint::Create(windowClass, title);
    if (!created.ok()) {
        throw std::runtime_error("relay endpoint: " + created.error().message);
    }
    return std::move(created.value());
}

}  // namespace

Relay::Relay(std::string_view windowClass, std::string_view title)
    : endpoint_(CreateEndpoint(windowClass, title)) {}

std::optional<zan::WindowMessage> Relay::Next(Clock::time_point deadline) {
    while (true) {
        if (auto message = endpoint_.Receive()) {
            return message;
        }
        const int wait = RemainingMs(deadline);
        if (wait == 0) {
            return std::nullopt;
        }
        pollfd fd{endpoint_.fd(), POLLIN, 0};
        ::poll(&fd, 1, wait);
    }
}

std::vector<std::uint64_t> Relay::WaitCodes(std::size_t count, std::chrono::milliseconds timeout,
                                            std::uint32_t message) {
    std::vector<std::uint64_t> codes;
    const auto deadline = Clock::now() + timeout;
    while (codes.size() < count) {
        const auto received = Next(deadline);
        if (!received) {
            break;
        }
        if (received->message == message) {
            codes.push_back(received->wParam);
        }
    }
    return codes;
}

std::vector<zan::WindowMessage> Relay::Collect(std::chrono::milliseconds window) {
    std::vector<zan::WindowMessage> messages;
    const auto deadline = Clock::now() + window;
    while (auto received = Next(deadline)) {
        messages.push_back(*received);
    }
    return messages;
}

Session::Session() {
    const auto run = root() / "run";
    const auto home = root() / "home";
    const auto program = root() / "program";
    for (const auto& folder : {run, home, program}) {
        std::filesystem::create_directory(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    }
    ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::filesystem::copy_file(BinDir() / "ZanDriverSrv", ProgramPath());
    WriteDeliveredDocument(MakeDocument(0, BuiltInRows(), BuiltInRows()));
}

std::filesystem::path Session::ProgramPath() const {
    return root() / "program" / "ZanDriverSrv";
}

std::filesystem::path Session::DeliveredDocument() const {
    return root() / "program" / "Palmkey.xml";
}

std::filesystem::path Session::EndpointFile() const {
    return root() / "run" / "zansoftware" / "windows" / "%2332770@ZanDriverSrv";
}

void Session::WriteDeliveredDocument(const std::string& xml) const {
    // Written beside and renamed, so the service never parses half a file.
    const auto temporary = DeliveredDocument().string() + ".new";
    std::ofstream(temporary) << xml;
    std::filesystem::rename(temporary, DeliveredDocument());
}

bool Session::WaitForServiceWindow(std::chrono::milliseconds timeout) const {
    zan::LinuxWindowSystem windows;
    const auto deadline = Clock::now() + timeout;
    while (!windows.FindWindow("#32770", "ZanDriverSrv")) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool Session::WaitForNoServiceWindow(std::chrono::milliseconds timeout) const {
    zan::LinuxWindowSystem windows;
    const auto deadline = Clock::now() + timeout;
    while (windows.FindWindow("#32770", "ZanDriverSrv")) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool Session::PostToService(std::uint32_t message, std::uint64_t wParam,
                            std::int64_t lParam) const {
    zan::LinuxWindowSystem windows;
    const auto window = windows.FindWindow("#32770", "ZanDriverSrv");
    return window && windows.PostMessage(*window, {message, wParam, lParam});
}

std::vector<DocumentRow> BuiltInRows() {
    return {{33, 0, 0},    {48, 0, 0},    {22, 86, 0},   {20, 276, 0},
            {21, 277, 37}, {19, 275, 38}, {18, 274, 39}, {17, 273, 53}};
}

std::string MakeDocument(int customMode, const std::vector<DocumentRow>& defaultRows,
                         const std::vector<DocumentRow>& customRows) {
    auto section = [](const char* name, const std::vector<DocumentRow>& rows, bool custom) {
        std::string text = std::string("  <") + name + ">\n";
        for (std::size_t index = 0; index < rows.size(); ++index) {
            text += "    <Key" + std::to_string(index) + " Click=\"" +
                    std::to_string(rows[index].click) + "\" DoubleClick=\"" +
                    std::to_string(rows[index].doubleClick) + "\" Combination=\"" +
                    std::to_string(rows[index].combination) + "\"" +
                    (custom ? " ExePath=\"0\"" : "") + " />\n";
        }
        return text + "  </" + name + ">\n";
    };
    return "<?xml version=\"1.0\"?>\n<Config>\n  <KwSet>\n    <Choose Set=\"" +
           std::to_string(customMode) + "\" />\n  </KwSet>\n" +
           section("Palmkey", defaultRows, false) + section("PalmkeyCustom", customRows, true) +
           "</Config>\n";
}

}  // namespace service_test
