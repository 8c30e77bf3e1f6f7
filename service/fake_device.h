#pragma once
// Fakes for the device connection's two seams: device channels that record
// what was done to them and hand out queued reports, and a report sink that
// records what the reader handed on. Safe across the reader and test threads.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "device_base.h"
#include "device_connection.h"

// What every fake device did, shared by the test and the devices.
struct DeviceLog {
    std::mutex mutex;
    std::condition_variable changed;
    int made = 0;
    int live = 0;  // made and not yet closed
    int closedWhileReading = 0;
    int readsInProgress = 0;
    int wokenReads = 0;
    std::deque<std::vector<std::uint8_t>> reports;  // handed out one per read
    bool openSucceeds = true;
};

class FakeDevice final : public CDeviceBase {
public:
    explicit FakeDevice(DeviceLog& log) : log_(log) {
        std::lock_guard lock(log_.mutex);
        ++log_.made;
        ++log_.live;
    }
    bool Open() override {
        std::lock_guard lock(log_.mutex);
        return log_.openSucceeds;
    }
    bool Init(const std::wstring& /*path*/, bool /*overlapped*/) override { return true; }
    bool Close() override {
        std::lock_guard lock(log_.mutex);
        if (log_.readsInProgress > 0) {
            ++log_.closedWhileReading;
        }
        --log_.live;
        return true;
    }
    // Hands out a queued report, else waits for a wake (no time-out: a
    // reader that is not woken would hang the test, which then fails).
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t length) override {
        std::unique_lock lock(log_.mutex);
        ++log_.readsInProgress;
        log_.changed.notify_all();
        log_.changed.wait(lock, [&] { return woken_ || !log_.reports.empty(); });
        --log_.readsInProgress;
        if (woken_) {
            woken_ = false;
            ++log_.wokenReads;
            return 0;
        }
        const auto report = log_.reports.front();
        log_.reports.pop_front();
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(report.size(), length));
        std::copy_n(report.begin(), count, buffer);
        return count;
    }
    bool Write(const std::uint8_t* /*buffer*/, std::uint32_t /*length*/) override { return false; }
    void Wake() override {
        std::lock_guard lock(log_.mutex);
        woken_ = true;
        log_.changed.notify_all();
    }

private:
    DeviceLog& log_;
    bool woken_ = false;
};

class RecordingSink final : public ReportSink {
public:
    void OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) override {
        std::lock_guard lock(mutex_);
        reports_.emplace_back(buffer.begin(), buffer.end());
        counts_.push_back(count);
        changed_.notify_all();
    }
    // Bounded wait for n reports.
    bool WaitFor(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return reports_.size() >= n; });
    }
    std::vector<std::vector<std::uint8_t>> reports_;
    std::vector<std::uint32_t> counts_;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};
