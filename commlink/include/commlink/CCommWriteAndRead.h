#pragma once
// Serial channel: one serial port opened by name, configured, and read and
// written in two styles (the "overlapped" calls ReadComm/WriteComm and the
// blocking calls ReadCommNov/WriteCommNov). Built into CommlinkW (port names
// as std::wstring) and CommlinkA (std::string) with the same behaviour.
//
// Calling order, overlapped use: construct; SetOv; InitComm(..., overlapped
// 1, ...); ReadComm / WriteComm; CloseComm; closeOvR; closeOvW; destroy.
// Blocking use: construct; InitComm(..., overlapped 0, ...); ReadCommNov /
// WriteCommNov; CloseComm; destroy. On Linux every call works on a port
// opened either way: the overlapped flag is accepted and changes nothing.
//
// Resources: the object holds file descriptors (the port, two eventfds) but
// its destructor releases nothing; CloseComm, closeOvR and closeOvW do, and
// the owner calls them before destroying the object. Copying copies the
// descriptors: both objects then share the port and events, and either may
// close them (the other is then left with stale numbers).
//
// Threads: no call takes a lock. One thread may read while another writes;
// two reads (or two writes) on one object must not overlap, and CloseComm,
// closeOvR, closeOvW and destruction must not overlap any other call.
//
// Nothing throws; failures are the results documented per call.

#include <cstdint>

#include "commlink/commlink_api.h"
#include "commlink/read_result.h"

class COMMLINK_API CCommWriteAndRead {
public:
    // No port, no events.
    CCommWriteAndRead();
    // Releases nothing (see above).
    ~CCommWriteAndRead() = default;
    CCommWriteAndRead(const CCommWriteAndRead& other);
    // Copies every field: the port and the events become shared.
    CCommWriteAndRead& operator=(const CCommWriteAndRead& other);

    // Creates the read and the write event (eventfds). An event that exists
    // already is kept, so calling it twice leaks nothing. On Linux reads and
    // writes wait on the port itself; the events keep the calling order of
    // the overlapped style and cost one descriptor each until closed.
    void SetOv();

    // Opens the port named by first (nameChoice non-zero) or second
    // (nameChoice 0) and applies the settings. A name "\\.\NAME", or a bare
    // NAME without '/' ("ttyS0", as a bare "COM3" on Windows), opens
    // /dev/NAME (a backslash inside NAME is a folder separator, so
    // "\\.\pts\3" and "pts\3" are /dev/pts/3); any other name is a path. A
    // name with a zero character, an empty or ".." folder in a device name, or
    // one that is not a terminal is refused.
    //
    // The port is held exclusively: it is refused when another holder (this
    // library in any process, or a program using flock) has it, and when
    // another program marked it exclusive (TIOCEXCL) - for root too, whom the
    // kernel would let through. This object then marks it exclusive itself.
    //
    // Settings (everything not listed stays as the port had it: flow
    // control, modem lines, the parity scheme PARENB/PARODD/CMSPAR, ...):
    // - baud: a rate with a termios speed constant (50 .. 4000000) is set;
    //   any other rate leaves the port's speed unchanged rather than running
    //   the line at a rate nobody asked for.
    // - parity: only the lowest bit counts; it turns input parity checking
    //   (INPCK) on or off.
    // - dataBits: the low byte, 5..8; other values leave the size unchanged.
    // - stopBits: the low byte, 0 one stop bit, 1 one and a half - termios
    //   has no such setting, so two are used -, 2 two; other values leave it.
    // - transfer is binary, as a Windows comm port always is: the line
    //   discipline's editing, echo, signals and CR/NL translations are off,
    //   so bytes arrive and leave unchanged and are counted as they come.
    // - no per-port queue sizes or event masks exist on Linux; the 3 ms read
    //   interval is kept by ReadCommNov itself.
    // An object that holds a port closes it first (as CloseComm), so calling
    // InitComm again leaks nothing. Returns 1 when the port was opened, 0
    // when not (the object then holds no port). Once open, a setting the
    // device refuses does not turn the result into 0.
    int InitComm(int nameChoice, const CommlinkString& first, int baud, int overlapped,
                 CommlinkString second, int parity, int dataBits, int stopBits);

    // Reads only what is waiting:
    // - length or more bytes waiting: reads exactly length bytes, returns
    //   length; the rest stay queued.
    // - 1 .. length-1 bytes waiting: returns that number, reads nothing and
    //   leaves buffer untouched.
    // - nothing waiting: waits up to timeoutMs (negative: without limit) for
    //   data to arrive, reads nothing and returns 0. No request is left
    //   outstanding after the wait.
    // READ_FAILED (0xFFFFFFFF) when no port is open, when the number waiting
    // cannot be learnt, or when the port has failed (hung up) so that not a
    // byte could be read.
    std::uint32_t ReadComm(unsigned char* buffer, std::uint32_t length, int timeoutMs);

    // Writes all length bytes, waiting without limit while the port's output
    // queue is full. 1 when every byte was handed to the port, 0 when no port
    // is open or the write failed at any point.
    int WriteComm(const unsigned char* buffer, std::uint32_t length);

    // Waits without limit for the first byte, then returns when length bytes
    // were read or when more than 3 ms pass without a further byte. Returns
    // the number read; 0 when no port is open or the port fails before a byte
    // arrived.
    std::uint32_t ReadCommNov(unsigned char* buffer, std::uint32_t length);

    // As WriteComm: non-zero when all bytes were written, 0 on failure.
    int WriteCommNov(const unsigned char* buffer, std::uint32_t length);

    // Discards both queues (input not yet read, output not yet sent), gives
    // up the exclusive hold and closes the port. Nothing when none is open.
    void CloseComm();
    // Close the read / write event; nothing when it is not open.
    void closeOvR();
    void closeOvW();

    // The port's file descriptor, -1 when no port is open.
    int GetHandleComDev() const;

private:
    int m_hReadEvent;
    int m_hWriteEvent;
    int m_hComm;
};
