#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <new>
#include <optional>
#include <vector>

#include "commlink/CHidWriteAndRead.h"
#include "hidraw_search.h"
#include "path_text.h"
#include "report_descriptor.h"

namespace {

constexpr std::uint8_t NO_REPORT_ID = 0;

enum class ReadOutcome { Report, NothingYet, Failed };

struct ReadResult {
    ReadOutcome outcome;
    std::uint32_t count;
};

int OpenNode(const CommlinkString& path, int access, int overlapped) {
    std::string nativePath;
    try {
        nativePath = zan::devscout::NativePath(path);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    // O_NOCTTY: a node that is a terminal must never become this process's
    // controlling terminal.
    const int flags = access | O_CLOEXEC | O_NOCTTY | (overlapped != 0 ? O_NONBLOCK : 0);
    int fd = -1;
    do {
        fd = ::open(nativePath.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool NodeWantsReportIdPrefix(const CommlinkString& path) {
    try {
        const std::optional<std::vector<std::uint8_t>> descriptor =
            zan::devscout::ReadReportDescriptorOfNode(zan::devscout::NativePath(path));
        // Without a descriptor (not a hidraw node) reports pass unchanged.
        return descriptor && !zan::devscout::DeclaresReportIds(*descriptor);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// One read of one report into the caller's buffer, in the Windows layout;
// the buffer stays untouched unless a report came. A read of 0 bytes is
// end-of-file: hidraw never hands out empty reports, so the device is gone.
ReadResult ReadReport(int fd, std::uint8_t* buffer, std::uint32_t length, bool prependReportId) {
    const std::uint32_t offset = prependReportId ? 1 : 0;
    ssize_t count = -1;
    do {
        count = ::read(fd, buffer + offset, length - offset);
    } while (count < 0 && errno == EINTR);
    if (count > 0) {
        if (prependReportId) {
            buffer[0] = NO_REPORT_ID;
        }
        return {ReadOutcome::Report, static_cast<std::uint32_t>(count) + offset};
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return {ReadOutcome::NothingYet, 0};
    }
    return {ReadOutcome::Failed, 0};
}

// poll() for at most timeoutMs in all, across interruptions by signals.
int PollFor(pollfd* watched, nfds_t count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int remaining = timeoutMs;
    while (true) {
        const int ready = ::poll(watched, count, remaining);
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            remaining = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
}

void ConsumeWake(int eventFd) {
    eventfd_t value = 0;
    (void)::eventfd_read(eventFd, &value);
}

bool WriteWholeReport(int fd, const std::uint8_t* buffer, std::uint32_t length) {
    if (fd < 0 || (buffer == nullptr && length > 0)) {
        return false;
    }
    while (true) {
        const ssize_t written = ::write(fd, buffer, length);
        if (written >= 0) {
            return static_cast<std::uint32_t>(written) == length;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        // A non-blocking handle: wait until the device takes the report.
        pollfd watched{fd, POLLOUT, 0};
        if (PollFor(&watched, 1, -1) < 0 || (watched.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            return false;
        }
    }
}

}  // namespace

CHidWriteAndRead::CHidWriteAndRead() = default;

CHidWriteAndRead::CHidWriteAndRead(int /*overlapped*/)
    : m_hReadEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_hWriteEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

int CHidWriteAndRead::OpenHidR(const CommlinkString& path, int overlapped) {
    m_hRead = OpenNode(path, O_RDONLY, overlapped);
    if (m_hRead < 0) {
        return 0;
    }
    m_bPrependReportId = NodeWantsReportIdPrefix(path);
    return 1;
}

int CHidWriteAndRead::OpenHidW(const CommlinkString& path, int overlapped) {
    m_hWrite = OpenNode(path, O_WRONLY, overlapped);
    return m_hWrite >= 0 ? 1 : 0;
}

std::uint32_t CHidWriteAndRead::ReadHid(std::uint8_t* buffer, std::uint32_t length) {
    const std::uint32_t smallest = m_bPrependReportId ? 2 : 1;
    if (m_hRead < 0 || buffer == nullptr || length < smallest) {
        return 0;
    }
    while (true) {
        const ReadResult result = ReadReport(m_hRead, buffer, length, m_bPrependReportId);
        if (result.outcome != ReadOutcome::NothingYet) {
            return result.count;
        }
        // Opened for timed use (non-blocking): block here as asked.
        pollfd watched{m_hRead, POLLIN, 0};
        if (PollFor(&watched, 1, -1) < 0) {
            return 0;
        }
    }
}

std::uint32_t CHidWriteAndRead::ReadHidOv(std::uint8_t* buffer, std::uint32_t length,
                                          int timeoutMs) {
    const std::uint32_t smallest = m_bPrependReportId ? 2 : 1;
    if (m_hRead < 0 || buffer == nullptr || length < smallest) {
        return READ_FAILED;
    }
    std::array<pollfd, 2> watched{{{m_hRead, POLLIN, 0}, {m_hReadEvent, POLLIN, 0}}};
    const nfds_t count = m_hReadEvent >= 0 ? 2 : 1;
    const int ready = PollFor(watched.data(), count, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready < 0) {
        return READ_FAILED;
    }
    if (ready == 0) {
        return 0;
    }
    if (count == 2 && (watched[1].revents & POLLIN) != 0) {
        // A report that came meanwhile stays queued for the next call.
        ConsumeWake(m_hReadEvent);
        return 0;
    }
    const short deviceEvents = watched[0].revents;
    if ((deviceEvents & POLLNVAL) != 0) {
        return READ_FAILED;
    }
    // Data first: a report queued before an unplug still reaches the caller.
    if ((deviceEvents & POLLIN) == 0) {
        return (deviceEvents & (POLLERR | POLLHUP)) != 0 ? READ_FAILED : 0;
    }
    const ReadResult result = ReadReport(m_hRead, buffer, length, m_bPrependReportId);
    switch (result.outcome) {
        case ReadOutcome::Report:
            return result.count;
        case ReadOutcome::NothingYet:
            return 0;
        case ReadOutcome::Failed:
            break;
    }
    return READ_FAILED;
}

void CHidWriteAndRead::WakeReader() {
    if (m_hReadEvent >= 0) {
        (void)::eventfd_write(m_hReadEvent, 1);
    }
}

int CHidWriteAndRead::WriteHid(const std::uint8_t* buffer, std::uint32_t length) {
    return WriteWholeReport(m_hWrite, buffer, length) ? 1 : 0;
}

int CHidWriteAndRead::WriteHidOv(const std::uint8_t* buffer, std::uint32_t length) {
    return WriteWholeReport(m_hWrite, buffer, length) ? 1 : 0;
}

int CHidWriteAndRead::CloseHid() {
    CloseIfOpen(m_hRead);
    CloseIfOpen(m_hWrite);
    return 1;
}

void CHidWriteAndRead::closeOvR() {
    CloseIfOpen(m_hReadEvent);
}

void CHidWriteAndRead::closeOvW() {
    CloseIfOpen(m_hWriteEvent);
}

int CHidWriteAndRead::GetHandleRead() {
    return m_hRead;
}

int CHidWriteAndRead::GetHandleWrite() {
    return m_hWrite;
}

CommlinkString CHidWriteAndRead::GetHIDDevicePathName(std::uint32_t vendorId,
                                                      std::uint32_t productId,
                                                      std::uint32_t /*unused*/) {
    try {
        const zan::devscout::HidrawSearchResult result =
            zan::devscout::FindHidrawNode(vendorId, productId);
        switch (result.status) {
            case zan::devscout::HidrawSearchResult::Status::Found:
                return zan::devscout::InterfaceText<CommlinkString>(result.devnode);
            case zan::devscout::HidrawSearchResult::Status::NotFound:
                return {};
            case zan::devscout::HidrawSearchResult::Status::Failed:
                break;
        }
        return zan::devscout::InterfaceText<CommlinkString>("error");
    } catch (const std::bad_alloc&) {
        return {};
    }
}
