#include "device_connection.h"

#include <array>
#include <chrono>

#include "device_name.h"

namespace {

constexpr auto kPauseAfterRead = std::chrono::milliseconds(10);

}  // namespace

DeviceConnection::DeviceConnection(DriverState& state, ReportSink& sink,
                                   DeviceConnectionPorts ports)
    : state_(state), sink_(sink), ports_(std::move(ports)) {}

DeviceConnection::~DeviceConnection() {
    ReleaseDevice();
}

void DeviceConnection::Poll() {
    // A tick that was already due when the reader started finds the device
    // open and read: nothing to do.
    if (state_.bRunning.load() != 0 && ReaderRunning()) {
        ports_.killPollTimer();
        return;
    }
    std::wstring path;
    if (!ports_.findDevicePath(path)) {
        return;
    }
    // A device from an earlier attempt (failed open, or a reader stopped by
    // an arrival) goes first, so that at most one device object and one
    // reader ever exist.
    StopReader();
    DropDevice();

    device_ = ports_.makeDevice();
    device_->Init(path, true);
    if (!device_->Open()) {
        DropDevice();
        return;
    }
    state_.pDevice.store(device_.get());
    ports_.killPollTimer();
    state_.bRunning.store(1);
    CDeviceBase* device = device_.get();
    state_.hReadThread = std::thread([this, device] { ReadThreadProc(device); });
}

void DeviceConnection::RestartPolling() {
    state_.bRunning.store(0);
    if (device_) {
        device_->Wake();
    }
    ports_.reloadConfig();
    ports_.armPollTimer();
}

void DeviceConnection::ReleaseDevice() {
    StopReader();
    DropDevice();
}

void DeviceConnection::OnDeviceChange(std::uint32_t event, const DevBroadcastHeader* header) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) {
        return;
    }
    if (header == nullptr || header->deviceType != DBT_DEVTYP_DEVICEINTERFACE) {
        return;
    }
    const auto& record = static_cast<const DevBroadcastDeviceInterface&>(*header);
    if (!MatchDeviceName(record.name)) {
        return;
    }
    if (event == DBT_DEVICEARRIVAL) {
        RestartPolling();
    } else {
        ReleaseDevice();
    }
}

void DeviceConnection::StopReader() {
    state_.bRunning.store(0);
    if (!state_.hReadThread.joinable()) {
        return;
    }
    if (device_) {
        device_->Wake();
    }
    state_.hReadThread.join();
}

void DeviceConnection::DropDevice() {
    state_.pDevice.store(nullptr);
    if (device_) {
        device_->Close();
        device_.reset();
    }
}

void DeviceConnection::ReadThreadProc(CDeviceBase* device) {
    std::array<std::uint8_t, kReportLength> buffer{};
    while (state_.bRunning.load() != 0) {
        buffer.fill(0);
        const std::uint32_t count = device->Read(buffer.data(), kReportLength);
        if (count != 0) {
            sink_.OnReport(buffer, count);
        }
        std::this_thread::sleep_for(kPauseAfterRead);
    }
}
