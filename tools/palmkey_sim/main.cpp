// palmkey-sim: a simulated Palmkey (USB HID 1314:1070) on a umockdev testbed,
// with a program running beside it that sees the simulated device as real.
// Commands on stdin press keys, unplug and re-plug the device; see --help.

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "child_process.h"
#include "platform/errno_text.h"
#include "sim_commands.h"
#include "simulated_palmkey/simulated_palmkey.h"

using zan::ErrnoText;

namespace {

constexpr int USAGE_ERROR = 2;
constexpr int SETUP_ERROR = 3;

const char USAGE[] =
    "usage: palmkey-sim [--absent] [--report-ids] -- COMMAND [ARGUMENT...]\n"
    "\n"
    "Creates a umockdev testbed with a simulated Palmkey (USB HID 1314:1070),\n"
    "starts COMMAND beside it (COMMAND sees the testbed's devices), then reads\n"
    "commands on stdin and prints one line for each command done:\n"
    "  press K      click report for key K (1..8)\n"
    "  combo N      combination report for combination number N (1..8)\n"
    "  raw HEX...   the bytes as one report as the device sends it (no id byte)\n"
    "  unplug       remove the device (\"remove\" uevent)\n"
    "  plug         add the device again (\"add\" uevent, next hidraw node)\n"
    "  sleep MS     pause before the next command\n"
    "  quit         end (also at end of input)\n"
    "\n"
    "  --absent      start without the device; 'plug' brings it\n"
    "  --report-ids  the device declares report ids (its reports carry id 1)\n"
    "\n"
    "At quit, end of input, SIGINT or SIGTERM, COMMAND gets SIGTERM and is reaped;\n"
    "palmkey-sim exits with COMMAND's status (128 + signal when it was killed).\n"
    "If COMMAND ends first, palmkey-sim says so and exits with its status.\n"
    "Runs itself under umockdev-wrapper when needed. Exit 2: usage, 3: setup failed.\n";

struct Options {
    bool absent = false;
    bool reportIds = false;
    std::vector<std::string> command;
};

std::optional<Options> ParseOptions(int argc, char* argv[]) {
    Options options;
    int index = 1;
    for (; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument == "--") {
            ++index;
            break;
        }
        if (argument == "--absent") {
            options.absent = true;
        } else if (argument == "--report-ids") {
            options.reportIds = true;
        } else {
            return std::nullopt;
        }
    }
    for (; index < argc; ++index) {
        options.command.emplace_back(argv[index]);
    }
    if (options.command.empty()) {
        return std::nullopt;
    }
    return options;
}

// Asked from the environment rather than from umockdev, which caches a first
// answer of "no" made before any testbed exists.
bool UnderUmockdevPreload() {
    const char* preload = ::secure_getenv("LD_PRELOAD");
    return preload != nullptr &&
           std::string_view(preload).find("umockdev") != std::string_view::npos;
}

// The preload must be in place before the testbed exists; a program started
// without it is started again under umockdev-wrapper. Returns only on
// failure, with the exit status to end with.
int ReexecUnderWrapper(int argc, char* argv[]) {
    // The wrapper replaces this image, so /proc/self/exe must be resolved
    // now: afterwards it names the wrapper.
    std::vector<char> self(PATH_MAX + 1, '\0');
    if (::readlink("/proc/self/exe", self.data(), PATH_MAX) <= 0) {
        std::cerr << "palmkey-sim: cannot find its own program file: " << ErrnoText(errno) << "\n";
        return SETUP_ERROR;
    }
    std::vector<char*> arguments;
    static char wrapper[] = "umockdev-wrapper";
    arguments.push_back(wrapper);
    arguments.push_back(self.data());
    for (int index = 1; index < argc; ++index) {
        arguments.push_back(argv[index]);
    }
    arguments.push_back(nullptr);
    ::execvp(wrapper, arguments.data());
    std::cerr << "palmkey-sim: cannot run umockdev-wrapper: " << ErrnoText(errno)
              << " (install umockdev)\n";
    return SETUP_ERROR;
}

void Say(const std::string& line) {
    std::cout << line << std::endl;  // flushed: scripts wait for these lines
}

class Simulator {
public:
    Simulator(zan::test::SimulatedDeviceBed& bed, bool reportIds)
        : bed_(bed), reportIds_(reportIds) {}

    // The testbed announces the hidraw node before its parents exist, so
    // that first notice cannot name the device's ids; a second "add" once
    // the whole chain is there carries them, as a real kernel's would.
    void Plug() {
        device_ = bed_.AddPalmkey(reportIds_);
        bed_.SendUevent(*device_, "add");
    }

    // Returns false on quit.
    bool Run(const SimCommand& command) {
        using Kind = SimCommand::Kind;
        switch (command.kind) {
            case Kind::Nothing:
                return true;
            case Kind::Quit:
                return false;
            case Kind::Sleep:
                std::this_thread::sleep_for(std::chrono::milliseconds(command.number));
                Say("slept " + std::to_string(command.number));
                return true;
            case Kind::Plug:
                if (device_) {
                    Say("error: the device is already plugged in");
                    return true;
                }
                Plug();
                Say("plugged " + device_->devnode);
                return true;
            case Kind::Unplug:
                if (!device_) {
                    Say("error: the device is not plugged in");
                    return true;
                }
                bed_.Unplug(*device_);
                device_.reset();
                Say("unplugged");
                return true;
            case Kind::Press:
                SendKey(command.number, zan::test::PALMKEY_KIND_CLICK, "pressed ");
                return true;
            case Kind::Combo:
                SendKey(command.number, zan::test::PALMKEY_KIND_COMBINATION, "combo ");
                return true;
            case Kind::Raw:
                SendRaw(command.bytes);
                return true;
        }
        return true;
    }

private:
    void SendKey(int number, std::uint8_t kind, const std::string& done) {
        if (!device_) {
            Say("error: the device is not plugged in");
            return;
        }
        const bool written =
            bed_.WriteKey(*device_, static_cast<std::uint8_t>(number), kind, reportIds_);
        Say(written ? done + std::to_string(number) : "error: the report was not written");
    }

    void SendRaw(std::vector<std::uint8_t> bytes) {
        if (!device_) {
            Say("error: the device is not plugged in");
            return;
        }
        // The node hands out whole reports; pad to the device's report size.
        const std::size_t reportSize = reportIds_ ? 64 : 63;
        if (bytes.size() < reportSize) {
            bytes.resize(reportSize, 0);
        }
        Say(bed_.WriteReport(*device_, bytes) ? "raw sent" : "error: the report was not written");
    }

    zan::test::SimulatedDeviceBed& bed_;
    bool reportIds_;
    std::optional<zan::test::SimulatedHidDevice> device_;
};

// Blocks the ending signals so that they arrive on a signalfd; the child
// gets the default mask back before it runs COMMAND.
zan::UniqueFd OpenSignalFd() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return zan::UniqueFd(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
}

// Lines from stdin, read with read() so that poll() and the buffer agree on
// what is pending.
class LineReader {
public:
    // The next complete line, if one is buffered.
    std::optional<std::string> Next() {
        const auto end = buffer_.find('\n');
        if (end == std::string::npos) {
            if (ended_ && !buffer_.empty()) {
                return std::exchange(buffer_, {});
            }
            return std::nullopt;
        }
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
    }
    // Reads what is available; false at end of input.
    bool Fill() {
        char chunk[4096];
        ssize_t got = 0;
        do {
            got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            ended_ = true;
            return false;
        }
        buffer_.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
    bool Ended() const { return ended_; }

private:
    std::string buffer_;
    bool ended_ = false;
};

enum class Wake { Input, ChildEnded, Signal };

Wake WaitForSomething(int signalFd, int childFd) {
    pollfd fds[3] = {{STDIN_FILENO, POLLIN, 0}, {childFd, POLLIN, 0}, {signalFd, POLLIN, 0}};
    while (true) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Wake::Signal;
        }
        if (fds[2].revents != 0) {
            return Wake::Signal;
        }
        if (fds[1].revents != 0) {
            return Wake::ChildEnded;
        }
        if (fds[0].revents != 0) {
            return Wake::Input;
        }
    }
}

int RunSession(const Options& options, int signalFd) {
    zan::test::SimulatedDeviceBed bed;
    Simulator simulator(bed, options.reportIds);
    if (!options.absent) {
        simulator.Plug();
    }
    std::string error;
    auto child = ChildProcess::Start(options.command, error);
    if (!child) {
        std::cerr << "palmkey-sim: " << error << "\n";
        return SETUP_ERROR;
    }
    Say("started " + options.command.front() + " (pid " + std::to_string(child->pid()) + ")");

    LineReader input;
    while (true) {
        auto line = input.Next();
        if (!line) {
            if (input.Ended()) {
                break;
            }
            const Wake wake = WaitForSomething(signalFd, child->exitFd());
            if (wake == Wake::ChildEnded) {
                const int status = child->Reap();
                Say("child ended with status " + std::to_string(status));
                return status;
            }
            if (wake == Wake::Signal) {
                break;
            }
            input.Fill();
            continue;
        }
        const SimParseResult parsed = ParseSimCommand(*line);
        if (!parsed.command) {
            Say("error: " + parsed.error);
            continue;
        }
        if (!simulator.Run(*parsed.command)) {
            break;
        }
    }
    const int status = child->TerminateAndReap();
    Say("child ended with status " + std::to_string(status));
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << USAGE;
        return 0;
    }
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << USAGE;
        return USAGE_ERROR;
    }
    if (!UnderUmockdevPreload()) {
        return ReexecUnderWrapper(argc, argv);
    }
    const zan::UniqueFd signalFd = OpenSignalFd();
    if (!signalFd.valid()) {
        std::cerr << "palmkey-sim: signalfd: " << ErrnoText(errno) << "\n";
        return SETUP_ERROR;
    }
    return RunSession(*options, signalFd.get());
}
