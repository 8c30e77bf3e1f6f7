#pragma once
// HID channel: a HID device opened twice, once for reading and once for
// writing, with blocking and timed ("overlapped") reads and writes.
//
// On Linux the device path is a hidraw node (/dev/hidrawN, as the HID path
// search returns it), the handles are file descriptors (-1 when not open)
// and the overlapped form's two request events are eventfds.
//
// Report layout: a read hands out what Windows does, the report id first.
// When the device's report descriptor declares no report ids, the kernel
// gives the report without one, so a 0 is put in byte 0 and the report goes
// to the buffer from byte 1 (at most length - 1 bytes; the count includes
// the 0). Writes take byte 0 as the report id, as the kernel expects.
//
// Ownership: the object owns its handles and events, but the destructor
// releases NOTHING. The owner calls CloseHid and, for the overlapped form,
// closeOvR and closeOvW before destroying the object. A copy refers to the
// same handles and events; exactly one of the copies is to close them.
//
// Threads: one thread may read while another writes or calls WakeReader.
// Two reads, or two writes, must not overlap; opening and closing must not
// overlap any other operation. GetHIDDevicePathName may run anywhere.

#include <cstdint>

#include "commlink/commlink_api.h"
#include "commlink/read_result.h"

class COMMLINK_API CHidWriteAndRead {
public:
    // Plain form: no events; use ReadHid/WriteHid and open with flag 0.
    CHidWriteAndRead();
    // Overlapped form, whatever the argument (0 included): creates the read
    // event, then the write event. Open with flag 1.
    explicit CHidWriteAndRead(int overlapped);
    // Releases nothing (see above).
    ~CHidWriteAndRead() = default;
    CHidWriteAndRead(const CHidWriteAndRead&) = default;
    CHidWriteAndRead& operator=(const CHidWriteAndRead&) = default;

    // Open the node for reading / for writing; 1 on success, 0 otherwise (the
    // handle is then -1). A non-zero flag opens non-blocking for the timed
    // operations. The two opens are independent.
    int OpenHidR(const CommlinkString& path, int overlapped);
    int OpenHidW(const CommlinkString& path, int overlapped);

    // Blocks until a report comes; the byte count, or 0 when the read fails.
    std::uint32_t ReadHid(std::uint8_t* buffer, std::uint32_t length);
    // Waits at most timeoutMs (negative: without limit) for one report, then
    // reads it. Returns the byte count; 0 when nothing came in time or the
    // reader was woken (WakeReader); READ_FAILED when the read cannot start:
    // no open read handle, no buffer, a length too small for the layout, or a
    // device that is gone. No read stays outstanding afterwards: a report
    // that comes later is returned by the next call.
    std::uint32_t ReadHidOv(std::uint8_t* buffer, std::uint32_t length, int timeoutMs);
    // Makes a ReadHidOv that is waiting, or the next one to start, return 0
    // at once (one wake per call, not lost when no read is waiting). For
    // prompt shutdown of a reader thread; safe to call from another thread.
    // No effect in the plain form or after closeOvR.
    void WakeReader();

    // Write one report (byte 0 the report id). WriteHid: non-zero when all
    // bytes were written. WriteHidOv: 1 when the write completed, waiting as
    // long as the device needs; 0 when it failed.
    int WriteHid(const std::uint8_t* buffer, std::uint32_t length);
    int WriteHidOv(const std::uint8_t* buffer, std::uint32_t length);

    // Closes both handles; a side that never opened is left alone. Always 1.
    // The handles read -1 afterwards, so a second call closes nothing.
    int CloseHid();
    // Close the read / write request's event (overlapped form).
    void closeOvR();
    void closeOvW();

    int GetHandleRead();
    int GetHandleWrite();

    // The node of the first present HID device with these ids (in sysfs
    // order; an id above 0xFFFF never matches; the third number is ignored),
    // empty when none matches, "error" when the search could not run.
    CommlinkString GetHIDDevicePathName(std::uint32_t vendorId, std::uint32_t productId,
                                        std::uint32_t unused);

private:
    int m_hRead = -1;
    int m_hWrite = -1;
    int m_hReadEvent = -1;
    int m_hWriteEvent = -1;
    // Set by OpenHidR from the device's report descriptor.
    bool m_bPrependReportId = false;
};
