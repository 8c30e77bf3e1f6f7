// CCommWriteAndRead on termios. A Windows comm port counts the bytes waiting
// and ends a read after an interval without data; here FIONREAD and poll do
// those jobs, so no request ever stays outstanding after a call.
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

#include "comm_line_settings.h"
#include "comm_port_io.h"
#include "comm_port_name.h"
#include "commlink/CCommWriteAndRead.h"

namespace {

// Longest pause between two bytes of one blocking read.
constexpr int READ_INTERVAL_MS = 3;

void CloseEvent(int& event) {
    if (event >= 0) {
        close(event);
        event = -1;
    }
}

void CreateEvent(int& event) {
    if (event < 0) {
        event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
}

void ApplySettings(int port, const zan::commlink::LineSettings& settings) {
    termios attributes{};
    if (tcgetattr(port, &attributes) != 0) {
        return;
    }
    zan::commlink::ApplyLineSettings(attributes, settings);
    (void)tcsetattr(port, TCSANOW, &attributes);
}

}  // namespace

CCommWriteAndRead::CCommWriteAndRead() : m_hReadEvent(-1), m_hWriteEvent(-1), m_hComm(-1) {}

CCommWriteAndRead::CCommWriteAndRead(const CCommWriteAndRead& other) = default;

CCommWriteAndRead& CCommWriteAndRead::operator=(const CCommWriteAndRead& other) = default;

void CCommWriteAndRead::SetOv() {
    CreateEvent(m_hReadEvent);
    CreateEvent(m_hWriteEvent);
}

int CCommWriteAndRead::InitComm(int nameChoice, const CommlinkString& first, int baud,
                                int /*overlapped*/, CommlinkString second, int parity, int dataBits,
                                int stopBits) {
    CloseComm();
    CommlinkString chosenName = std::move(second);
    if (nameChoice != 0) {
        chosenName = first;
    }
    const auto path = zan::commlink::PortPathFromName(chosenName);
    if (!path) {
        return 0;
    }
    const int port = zan::commlink::OpenExclusivePort(*path);
    if (port < 0) {
        return 0;
    }
    ApplySettings(port, {baud, parity, dataBits, stopBits});
    m_hComm = port;
    return 1;
}

std::uint32_t CCommWriteAndRead::ReadComm(unsigned char* buffer, std::uint32_t length,
                                          int timeoutMs) {
    if (m_hComm < 0) {
        return READ_FAILED;
    }
    const auto waiting = zan::commlink::WaitingBytes(m_hComm);
    if (!waiting) {
        return READ_FAILED;
    }
    if (*waiting > 0 && *waiting < length) {
        return *waiting;
    }
    if (*waiting >= length) {
        const std::uint32_t count = zan::commlink::ReadWaiting(m_hComm, buffer, length);
        return count == 0 && length > 0 ? READ_FAILED : count;
    }
    // Nothing waiting: the time-out only bounds how long the caller is held
    // while data may arrive; it is read by a later call.
    switch (zan::commlink::WaitReadable(m_hComm, timeoutMs)) {
        case zan::commlink::WaitResult::Failed:
            return READ_FAILED;
        case zan::commlink::WaitResult::Ready:
        case zan::commlink::WaitResult::TimedOut:
            break;
    }
    return 0;
}

int CCommWriteAndRead::WriteComm(const unsigned char* buffer, std::uint32_t length) {
    if (m_hComm < 0) {
        return 0;
    }
    return zan::commlink::WriteAll(m_hComm, buffer, length) ? 1 : 0;
}

std::uint32_t CCommWriteAndRead::ReadCommNov(unsigned char* buffer, std::uint32_t length) {
    if (m_hComm < 0) {
        return 0;
    }
    return zan::commlink::ReadUntilGap(m_hComm, buffer, length, READ_INTERVAL_MS);
}

int CCommWriteAndRead::WriteCommNov(const unsigned char* buffer, std::uint32_t length) {
    return WriteComm(buffer, length);
}

void CCommWriteAndRead::CloseComm() {
    if (m_hComm < 0) {
        return;
    }
    zan::commlink::CloseExclusivePort(m_hComm);
    m_hComm = -1;
}

void CCommWriteAndRead::closeOvR() {
    CloseEvent(m_hReadEvent);
}

void CCommWriteAndRead::closeOvW() {
    CloseEvent(m_hWriteEvent);
}

int CCommWriteAndRead::GetHandleComDev() const {
    return m_hComm;
}
