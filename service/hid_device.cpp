#include "hid_device.h"

#include "service_constants.h"

CHidDevice::~CHidDevice() {
    // The library object's destructor releases nothing, so an owner that
    // forgot Close would leak the handles: close them here as a last resort.
    CloseChannel();
}

bool CHidDevice::Init(const std::wstring& path, bool overlapped) {
    CloseChannel();
    if (overlapped) {
        m_pChannel = std::make_unique<CHidWriteAndRead>(1);
        m_bOverlapped = true;
    } else {
        m_pChannel = std::make_unique<CHidWriteAndRead>();
    }
    m_strPath = path;
    return true;
}

bool CHidDevice::Open() {
    if (!m_pChannel) {
        return false;
    }
    const int overlapped = m_bOverlapped ? 1 : 0;
    // Both sides are always attempted; a half-open channel is released by
    // Close like a fully open one.
    const int readOpened = m_pChannel->OpenHidR(m_strPath, overlapped);
    const int writeOpened = m_pChannel->OpenHidW(m_strPath, overlapped);
    return readOpened != 0 && writeOpened != 0;
}

bool CHidDevice::Close() {
    CloseChannel();
    return true;
}

void CHidDevice::CloseChannel() {
    if (!m_pChannel) {
        return;
    }
    m_pChannel->CloseHid();
    if (m_bOverlapped) {
        m_pChannel->closeOvR();
        m_pChannel->closeOvW();
    }
    m_pChannel.reset();
}

std::uint32_t CHidDevice::Read(std::uint8_t* buffer, std::uint32_t length) {
    if (!m_pChannel) {
        return READ_FAILED;
    }
    if (m_bOverlapped) {
        return m_pChannel->ReadHidOv(buffer, length, REPORT_READ_TIMEOUT_MS);
    }
    return m_pChannel->ReadHid(buffer, length);
}

bool CHidDevice::Write(const std::uint8_t* buffer, std::uint32_t length) {
    if (!m_pChannel) {
        return false;
    }
    if (m_bOverlapped) {
        return m_pChannel->WriteHidOv(buffer, length) != 0;
    }
    return m_pChannel->WriteHid(buffer, length) != 0;
}

void CHidDevice::Wake() {
    if (m_pChannel) {
        m_pChannel->WakeReader();
    }
}
