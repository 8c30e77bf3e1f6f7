#pragma once
// The service's device connection: the poll that finds and opens the
// Palmkey, the reaction to arrival and removal notices, and the reader
// thread that hands each report to a ReportSink.
//
// Threads: every member function runs on the main thread, except that the
// reader thread (started by Poll) calls ReportSink::OnReport. The connection
// owns the device object and the reader; the reader's stop request is its
// running flag. The device object is closed and freed only after the reader
// has left its loop: every path that drops a device first asks the reader to
// stop, wakes the read and joins the thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <thread>

#include "device_base.h"
#include "devscout/Cregedit.h"

// Receives the reports the reader thread reads. Called on the reader thread
// with the cleared buffer of REPORT_BUFFER_LENGTH bytes and the read's count
// (never 0).
class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) = 0;
};

// What the connection needs from its surroundings; the service passes the
// real ones, tests pass fakes.
struct DeviceConnectionPorts {
    // Fills the path of the present Palmkey's node and returns true, or
    // returns false when none is present.
    std::function<bool(std::wstring& path)> findDevicePath;
    // Makes a new, not yet initialised device channel.
    std::function<std::unique_ptr<CDeviceBase>()> makeDevice;
    // Arms (or restarts) and stops the one-second poll timer.
    std::function<void()> armPollTimer;
    std::function<void()> killPollTimer;
    // Reloads the configuration (a matching arrival does this).
    std::function<void()> reloadConfig;
};

class DeviceConnection {
public:
    DeviceConnection(ReportSink& sink, DeviceConnectionPorts ports);
    ~DeviceConnection();
    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

    // One tick of the poll timer.
    void Poll();
    // A matching arrival: stop the reader, reload, poll again.
    void RestartPolling();
    // A matching removal, or shutdown: stop the reader and drop the device.
    void ReleaseDevice();
    // One device notice: the event code and the notice record. Acts only on
    // an arrival (0x8000) or removal (0x8004) of a device-interface record
    // (type 5) whose name is the Palmkey's; everything else passes untouched.
    void OnDeviceChange(std::uint32_t event, const DevBroadcastHeader* header);

    bool HasDevice() const { return device_ != nullptr; }
    // A reader exists and has not been asked to stop.
    bool ReaderRunning() const;

private:
    void StopReader();
    void DropDevice();
    void ReadThreadProc(const std::stop_token& running, CDeviceBase& device);

    ReportSink& sink_;
    DeviceConnectionPorts ports_;
    std::unique_ptr<CDeviceBase> device_;
    // After the device: a reader that outlived ReleaseDevice would be joined
    // here, before the device it reads is freed.
    std::jthread reader_;
};
