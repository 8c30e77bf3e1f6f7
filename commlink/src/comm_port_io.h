#pragma once
// Opening, waiting on, reading and writing a serial port's descriptor. The
// descriptor is non-blocking; every wait is a poll.

#include <cstdint>
#include <optional>
#include <string>

namespace zan::commlink {

// Opens path read-write, without making it the controlling terminal, and
// takes the exclusive hold (flock, then TIOCEXCL). -1 when it cannot be
// opened, is not a terminal, or is held or marked exclusive by another.
int OpenExclusivePort(const std::string& path);

// Discards both queues, gives up the hold and closes.
void CloseExclusivePort(int fd);

enum class WaitResult { Ready, TimedOut, Failed };
// Waits for input; timeoutMs negative waits without limit. Failed when the
// port hung up or errored with nothing to read.
WaitResult WaitReadable(int fd, int timeoutMs);

// Bytes waiting in the input queue; nullopt when the port cannot say.
std::optional<std::uint32_t> WaitingBytes(int fd);

// Reads exactly length bytes that are known to be waiting; the count read.
std::uint32_t ReadWaiting(int fd, unsigned char* buffer, std::uint32_t length);

// Waits for the first byte without limit, then reads until length bytes or
// until gapMs pass without a byte. The count read (0 on failure).
std::uint32_t ReadUntilGap(int fd, unsigned char* buffer, std::uint32_t length, int gapMs);

// Writes every byte, waiting while the output queue is full; false when a
// write fails.
bool WriteAll(int fd, const unsigned char* buffer, std::uint32_t length);

}  // namespace zan::commlink
