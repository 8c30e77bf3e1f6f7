#include "device_notice_watch.h"

DeviceNoticeWatch::DeviceNoticeWatch(Cregedit& locator, HWND window, const wchar_t* classText,
                                     Callback callback)
    : callback_(std::move(callback)) {
    locator.RegisterForDevChange(window, &handle_, classText);
    const int fd = Cregedit::GetDevNotifyFd(handle_);
    if (fd < 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { ReadPendingNotices(); });
}

DeviceNoticeWatch::~DeviceNoticeWatch() {
    notifier_.reset();
    Cregedit::UnregisterDevChange(handle_);
}

void DeviceNoticeWatch::ReadPendingNotices() {
    DevNotice notice;
    while (Cregedit::ReadDevNotice(handle_, notice) != 0) {
        callback_(notice.event, &notice.record);
    }
}
