#include "comm_port_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/unique_fd.h"

namespace zan::commlink {
namespace {

using zan::UniqueFd;

// Root passes TIOCEXCL's check when opening, so the mark is read instead.
bool MarkedExclusive(int fd) {
    int exclusive = 0;
    return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

short PollOnce(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        return POLLERR;
    }
    if (ready == 0) {
        return 0;
    }
    return entry.revents;
}

enum class ChunkResult { Read, Empty, Failed };

ChunkResult ReadChunk(int fd, unsigned char* buffer, std::uint32_t length, std::uint32_t& count) {
    ssize_t received = 0;
    do {
        received = read(fd, buffer + count, length - count);
    } while (received < 0 && errno == EINTR);
    if (received > 0) {
        count += static_cast<std::uint32_t>(received);
        return ChunkResult::Read;
    }
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return ChunkResult::Empty;
    }
    return ChunkResult::Failed;
}

}  // namespace

int OpenExclusivePort(const std::string& path) {
    UniqueFd port(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (port.get() < 0) {
        return -1;
    }
    termios attributes{};
    if (tcgetattr(port.get(), &attributes) != 0) {
        return -1;
    }
    if (flock(port.get(), LOCK_EX | LOCK_NB) != 0 || MarkedExclusive(port.get())) {
        return -1;
    }
    // A device that refuses the mark is still held by the lock.
    (void)ioctl(port.get(), TIOCEXCL);
    return port.release();
}

void CloseExclusivePort(int fd) {
    (void)tcflush(fd, TCIOFLUSH);
    // The mark outlives this descriptor while others keep the tty open.
    (void)ioctl(fd, TIOCNXCL);
    (void)flock(fd, LOCK_UN);
    close(fd);
}

WaitResult WaitReadable(int fd, int timeoutMs) {
    const short events = PollOnce(fd, POLLIN, timeoutMs < 0 ? -1 : timeoutMs);
    if ((events & POLLIN) != 0) {
        return WaitResult::Ready;
    }
    return events == 0 ? WaitResult::TimedOut : WaitResult::Failed;
}

std::optional<std::uint32_t> WaitingBytes(int fd) {
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0 || waiting < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(waiting);
}

std::uint32_t ReadWaiting(int fd, unsigned char* buffer, std::uint32_t length) {
    std::uint32_t count = 0;
    while (count < length) {
        const ChunkResult result = ReadChunk(fd, buffer, length, count);
        if (result == ChunkResult::Failed ||
            (result == ChunkResult::Empty && WaitReadable(fd, -1) != WaitResult::Ready)) {
            break;
        }
    }
    return count;
}

std::uint32_t ReadUntilGap(int fd, unsigned char* buffer, std::uint32_t length, int gapMs) {
    std::uint32_t count = 0;
    int timeoutMs = -1;  // the first byte is awaited without limit
    while (count < length) {
        if (WaitReadable(fd, timeoutMs) != WaitResult::Ready) {
            break;
        }
        const ChunkResult result = ReadChunk(fd, buffer, length, count);
        if (result == ChunkResult::Failed) {
            break;
        }
        if (count > 0) {
            timeoutMs = gapMs;
        }
    }
    return count;
}

bool WriteAll(int fd, const unsigned char* buffer, std::uint32_t length) {
    std::uint32_t written = 0;
    while (written < length) {
        const ssize_t sent = write(fd, buffer + written, length - written);
        if (sent > 0) {
            written += static_cast<std::uint32_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if ((PollOnce(fd, POLLOUT, -1) & POLLOUT) == 0) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace zan::commlink
