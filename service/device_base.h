#pragma once
// The service's device channel: an abstract channel and its HID form over
// CommlinkW's CHidWriteAndRead.
//
// Ownership: whoever creates a channel calls Close before destroying it;
// the destructor releases only what the object itself holds (the path).
// Threads: Init/Open/Close/Wake on the main thread; Read on the reader
// thread; Wake may overlap a Read in progress and makes it return at once.

#include <cstdint>
#include <string>

class CDeviceBase {
public:
    CDeviceBase() = default;
    CDeviceBase(const CDeviceBase&) = delete;
    CDeviceBase& operator=(const CDeviceBase&) = delete;
    virtual ~CDeviceBase() = default;

    virtual bool Open() = 0;
    virtual bool Init(const std::wstring& path, bool overlapped) = 0;
    virtual bool Close() = 0;
    // The number of bytes read; 0 on time-out or wake; READ_FAILED when the
    // read could not start (the device is gone or the channel is closed).
    virtual std::uint32_t Read(std::uint8_t* buffer, std::uint32_t length) = 0;
    virtual bool Write(const std::uint8_t* buffer, std::uint32_t length) = 0;
    // Makes a Read that is waiting (or the next one) return 0 at once, so
    // that the reader notices a stop request without waiting for its
    // time-out.
    virtual void Wake() = 0;
};
