// Device notices from a registration's events, on a fake event source: the
// identities kept for removals, and the resynchronisation after lost events.
#include "notice_tracker.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_device_events.h"

namespace {

using namespace zan::devscout;
using Kind = TrackedNotice::Kind;

DeviceIdentity Hid(const std::string& sysname, std::uint32_t productId = 0x1070) {
    return {DeviceIdentity::Bus::Hid, 0x1314, productId, "hidraw", sysname};
}

std::string Syspath(const std::string& sysname) {
    return "/sys/devices/usb/hidraw/" + sysname;
}

DeviceEvent Event(DeviceEvent::Action action, const DeviceIdentity& identity) {
    return {action, Syspath(identity.sysname), identity};
}

// What a removal event still shows once the device's parents are gone.
DeviceEvent BareRemoval(const std::string& sysname) {
    return {DeviceEvent::Action::Remove,
            Syspath(sysname),
            {DeviceIdentity::Bus::None, 0, 0, "hidraw", sysname}};
}

PresentDevices Present(const std::vector<DeviceIdentity>& devices) {
    PresentDevices present;
    for (const auto& identity : devices) {
        present[Syspath(identity.sysname)] = identity;
    }
    return present;
}

std::vector<TrackedNotice> Drain(NoticeTracker& tracker, FakeDeviceEvents& events) {
    std::vector<TrackedNotice> notices;
    while (auto notice = tracker.Next(events)) {
        notices.push_back(*notice);
    }
    return notices;
}

TEST(NoticeTracker, RemovalsCarryTheIdentityTheDeviceHadWhilePresent) {
    FakeDeviceEvents events;
    events.SetPresent(Present({Hid("hidraw0")}));
    NoticeTracker tracker;
    tracker.Start(events);
    events.Queue(Event(DeviceEvent::Action::Add, Hid("hidraw1")));
    events.Queue({DeviceEvent::Action::Other, Syspath("hidraw1"), Hid("hidraw1")});
    events.Queue(BareRemoval("hidraw1"));
    events.Queue(BareRemoval("hidraw0"));
    events.Queue(BareRemoval("hidraw7"));

    EXPECT_EQ(Drain(tracker, events), (std::vector<TrackedNotice>{
                                          {Kind::Arrival, Hid("hidraw1")},
                                          {Kind::Removal, Hid("hidraw1")},
                                          {Kind::Removal, Hid("hidraw0")},
                                          {Kind::Removal, BareRemoval("hidraw7").identity},
                                      }));
}

TEST(NoticeTracker, AnOverflowAnnouncesEveryDifferenceAsIfTheLostEventsHadCome) {
    FakeDeviceEvents events;
    events.SetPresent(Present({Hid("hidraw0"), Hid("hidraw1"), Hid("hidraw2")}));
    NoticeTracker tracker;
    tracker.Start(events);
    // Lost: hidraw1 went, hidraw3 came, hidraw2 was re-plugged as another
    // device. What is still queued behind the loss is older than the listing.
    events.QueueOverflow();
    events.Queue(Event(DeviceEvent::Action::Add, Hid("hidraw3")));
    events.SetPresent(Present({Hid("hidraw0"), Hid("hidraw2", 0x9999), Hid("hidraw3")}));

    EXPECT_EQ(Drain(tracker, events), (std::vector<TrackedNotice>{
                                          {Kind::Removal, Hid("hidraw1")},
                                          {Kind::Removal, Hid("hidraw2")},
                                          {Kind::Arrival, Hid("hidraw2", 0x9999)},
                                          {Kind::Arrival, Hid("hidraw3")},
                                      }));
    EXPECT_EQ(events.Waiting(), 0U);

    // The listing is remembered: a later removal carries its identity.
    events.Queue(BareRemoval("hidraw3"));
    EXPECT_EQ(Drain(tracker, events),
              (std::vector<TrackedNotice>{{Kind::Removal, Hid("hidraw3")}}));
}

TEST(NoticeTracker, AnOverflowWithoutAListingKeepsWhatWasKnown) {
    FakeDeviceEvents events;
    events.SetPresent(Present({Hid("hidraw0")}));
    NoticeTracker tracker;
    tracker.Start(events);
    events.QueueOverflow();
    events.SetPresent(std::nullopt);
    EXPECT_TRUE(Drain(tracker, events).empty());

    events.Queue(BareRemoval("hidraw0"));
    EXPECT_EQ(Drain(tracker, events),
              (std::vector<TrackedNotice>{{Kind::Removal, Hid("hidraw0")}}));
}

}  // namespace
