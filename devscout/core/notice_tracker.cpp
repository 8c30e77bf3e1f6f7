#include "notice_tracker.h"

namespace zan::devscout {

void NoticeTracker::Start(DeviceEventSource& source) {
    if (auto present = source.Enumerate()) {
        present_ = std::move(*present);
    }
}

std::optional<TrackedNotice> NoticeTracker::Next(DeviceEventSource& source) {
    while (pending_.empty()) {
        DeviceEventSource::Received received = source.Receive();
        switch (received.status) {
            case DeviceEventSource::Status::Nothing:
                return std::nullopt;
            case DeviceEventSource::Status::Overflow:
                Resynchronise(source);
                break;
            case DeviceEventSource::Status::Event: {
                DeviceEvent& event = received.event;
                if (event.action == DeviceEvent::Action::Add) {
                    present_[event.syspath] = event.identity;
                    return TrackedNotice{TrackedNotice::Kind::Arrival, std::move(event.identity)};
                }
                if (event.action == DeviceEvent::Action::Remove) {
                    return Removed(event);
                }
                break;
            }
        }
    }
    TrackedNotice notice = std::move(pending_.front());
    pending_.pop_front();
    return notice;
}

TrackedNotice NoticeTracker::Removed(const DeviceEvent& event) {
    const auto known = present_.find(event.syspath);
    if (known == present_.end()) {
        // A device that came and went unseen: named from what the event shows.
        return {TrackedNotice::Kind::Removal, event.identity};
    }
    TrackedNotice notice{TrackedNotice::Kind::Removal, std::move(known->second)};
    present_.erase(known);
    return notice;
}

void NoticeTracker::Resynchronise(DeviceEventSource& source) {
    // What is still queued happened before the listing below, which
    // supersedes it; read on, it would announce some changes twice.
    while (source.Receive().status != DeviceEventSource::Status::Nothing) {
    }
    std::optional<PresentDevices> now = source.Enumerate();
    if (!now) {
        return;
    }
    for (const auto& [syspath, identity] : present_) {
        const auto still = now->find(syspath);
        if (still == now->end() || still->second != identity) {
            pending_.push_back({TrackedNotice::Kind::Removal, identity});
        }
    }
    for (const auto& [syspath, identity] : *now) {
        const auto before = present_.find(syspath);
        if (before == present_.end() || before->second != identity) {
            pending_.push_back({TrackedNotice::Kind::Arrival, identity});
        }
    }
    present_ = std::move(*now);
}

}  // namespace zan::devscout
