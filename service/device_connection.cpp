#include "device_connection.h"

#include <array>
#include <chrono>

#include "device_name.h"
#include "service_constants.h"

DeviceConnection::DeviceConnection(ReportSink& sink, DeviceConnectionPorts ports)
    : sink_(sink), ports_(std::move(ports)) {}

DeviceConnection::~DeviceConnection() {
    ReleaseDevice();
}

bool DeviceConnection::ReaderRunning() const {
    return reader_.joinable() && !reader_.get_stop_token().stop_requested();
}

void DeviceConnection::Poll() {
    // A tick that was already due when the reader started finds the device
    // open and read: nothing to do.
    if (ReaderRunning()) {
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
    ports_.killPollTimer();
    reader_ = std::jthread([this, &device = *device_](const std::stop_token& running) {
        ReadThreadProc(running, device);
    });
}

void DeviceConnection::RestartPolling() {
    // The reader leaves its loop on its own; the next poll joins it.
    reader_.request_stop();
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
    if (!reader_.joinable()) {
        return;
    }
    reader_.request_stop();
    if (device_) {
        device_->Wake();
    }
    reader_.join();
}

void DeviceConnection::DropDevice() {
    if (device_) {
        device_->Close();
        device_.reset();
    }
}

void DeviceConnection::ReadThreadProc(const std::stop_token& running, CDeviceBase& device) {
    std::array<std::uint8_t, REPORT_BUFFER_LENGTH> buffer{};
    while (!running.stop_requested()) {
        buffer.fill(0);
        const std::uint32_t count =
            device.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (count != 0) {
            sink_.OnReport(buffer, count);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(READER_PAUSE_MS));
    }
}
