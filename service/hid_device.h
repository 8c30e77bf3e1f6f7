#pragma once
// CDeviceBase over one CHidWriteAndRead: separate read and write handles,
// a timed read (REPORT_READ_TIMEOUT_MS) in the overlapped form.

#include <memory>

#include "commlink/CHidWriteAndRead.h"
#include "device_base.h"

class CHidDevice : public CDeviceBase {
public:
    CHidDevice() = default;
    ~CHidDevice() override;

    bool Open() override;
    bool Init(const std::wstring& path, bool overlapped) override;
    bool Close() override;
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t length) override;
    bool Write(const std::uint8_t* buffer, std::uint32_t length) override;
    void Wake() override;

private:
    void CloseChannel();

    std::unique_ptr<CHidWriteAndRead> m_pChannel;
    std::wstring m_strPath;
    bool m_bOverlapped = false;
};
