#pragma once
// One device-notice registration (Devscout's RegisterForDevChange) watched
// on the Qt loop: when its fd becomes readable, every pending notice is
// read and handed to the callback on the main thread. Destruction stops
// watching and releases the registration and its fd.

#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "devscout/Cregedit.h"

class DeviceNoticeWatch {
public:
    using Callback = std::function<void(std::uint32_t event, const DevBroadcastHeader* header)>;

    // Registers window for notices of the interface class classText. A
    // failed registration leaves a watch that never calls back (active()
    // false): the notices of that class then simply never arrive.
    DeviceNoticeWatch(Cregedit& locator, HWND window, const wchar_t* classText, Callback callback);
    ~DeviceNoticeWatch();
    DeviceNoticeWatch(const DeviceNoticeWatch&) = delete;
    DeviceNoticeWatch& operator=(const DeviceNoticeWatch&) = delete;

    bool active() const { return handle_ != nullptr; }
    HDEVNOTIFY handle() const { return handle_; }

private:
    void ReadPendingNotices();

    HDEVNOTIFY handle_ = nullptr;
    Callback callback_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
