// Hot-plug events: the listing differences, the simulator's plug listener and the periodic
// re-enumeration that stands in where no notification comes.
#include <gtest/gtest.h>

#include <memory>

#include "sim/hotplug.h"
#include "sim/platform.h"
#include "wusb/hotplug.h"

namespace sim {
namespace {

using Kind = wusb::HotplugEvent::Kind;
using Events = std::vector<wusb::HotplugEvent>;

TEST(ListingChanges, RemovalsFirstThenArrivalsEachInListingOrder) {
    EXPECT_EQ(wusb::ListingChanges({{"a", 1}, {"b", 2}, {"c", 3}}, {{"d", 4}, {"b", 2}, {"e", 5}}),
              (Events{{Kind::Removed, "a"},
                      {Kind::Removed, "c"},
                      {Kind::Arrived, "d"},
                      {Kind::Arrived, "e"}}));
    EXPECT_TRUE(wusb::ListingChanges({{"a", 1}, {"b", 2}}, {{"b", 2}, {"a", 1}}).empty());
    // The same socket with another device in it.
    EXPECT_EQ(wusb::ListingChanges({{"a", 1}}, {{"a", 9}}),
              (Events{{Kind::Removed, "a"}, {Kind::Arrived, "a"}}));
}

class SimHotplugTest : public ::testing::Test {
  protected:
    int PlugNew(SimDeviceInfo info = {}) {
        return platform.Plug(std::make_shared<SimInterface>(), std::move(info));
    }

    wusb::FakeClock clock;
    SimPlatform platform{clock};
};

TEST_F(SimHotplugTest, FirstWaitReportsWhatIsPresentThenOnlyChanges) {
    PlugNew();
    PlugNew();
    SimHotplug hotplug(platform, clock);
    EXPECT_EQ(hotplug.Wait(0), (Events{{Kind::Arrived, "sim:0"}, {Kind::Arrived, "sim:1"}}));

    const wusb::TimeStamp before = clock.Now();
    EXPECT_TRUE(hotplug.Wait(1000).empty());
    EXPECT_EQ(wusb::ElapsedMs(before, clock.Now()), 1000);  // waited out, no more
}

TEST_F(SimHotplugTest, ReportsUnplugReplugAndNewDevicesAtOnce) {
    const int first = PlugNew();
    SimHotplug hotplug(platform, clock);
    hotplug.Wait(0);

    platform.Unplug(first);
    const wusb::TimeStamp before = clock.Now();
    EXPECT_EQ(hotplug.Wait(5000), (Events{{Kind::Removed, "sim:0"}}));
    EXPECT_EQ(wusb::ElapsedMs(before, clock.Now()), 0);

    platform.Replug(first);
    PlugNew();
    EXPECT_EQ(hotplug.Wait(5000), (Events{{Kind::Arrived, "sim:0"}, {Kind::Arrived, "sim:1"}}));

    // Another class is not watched; a quick unplug and replug in between is seen all the same.
    SimDeviceInfo other;
    other.interfaceClass = wusb::kLinkLayerGuid;
    PlugNew(other);
    platform.Unplug(first);
    platform.Replug(first);
    EXPECT_EQ(hotplug.Wait(100), (Events{{Kind::Removed, "sim:0"}, {Kind::Arrived, "sim:0"}}));
}

TEST_F(SimHotplugTest, ARetriedInterfaceComesAgainAtTheSafetyListingUnlessItLeft) {
    PlugNew();
    PlugNew();
    SimHotplug hotplug(platform, clock);
    hotplug.Wait(0);
    // Nothing announces it: the listing that no notification causes finds it again.
    hotplug.Retry("sim:0");
    const wusb::TimeStamp before = clock.Now();
    EXPECT_EQ(hotplug.Wait(5000), (Events{{Kind::Arrived, "sim:0"}}));
    EXPECT_EQ(wusb::ElapsedMs(before, clock.Now()), wusb::kSafetyListingPeriodMs);
    EXPECT_TRUE(hotplug.Wait(5000).empty()) << "once per Retry";

    hotplug.Retry("sim:1");
    platform.Unplug(1);
    EXPECT_EQ(hotplug.Wait(100), (Events{{Kind::Removed, "sim:1"}}));
}

TEST_F(SimHotplugTest, AnUnplugByAFaultIsReported) {
    const int n = PlugNew();
    SimHotplug hotplug(platform, clock);
    hotplug.Wait(0);
    platform.device(n)->InjectFault({FaultKind::Unplug, 'O'});
    const std::uint8_t frame[] = {0x06, 0x00, 'O', 0x01, 0xF5, 0x5C};
    std::uint32_t moved = 0;
    const wusb::Handle usb = platform.InitializeUsb(platform.OpenFile("sim:0"));
    ASSERT_TRUE(platform.WritePipe(usb, kBulkOutPipe, frame, sizeof frame, moved));
    EXPECT_EQ(hotplug.Wait(100), (Events{{Kind::Removed, "sim:0"}}));
}

TEST_F(SimHotplugTest, ListenerGoesWithTheSourceAndStopsBeingCalled) {
    int calls = 0;
    const int id = platform.AddPlugListener([&](int, bool) { ++calls; });
    { SimHotplug hotplug(platform, clock); }
    PlugNew();  // a destroyed source's listener would touch freed memory here
    platform.RemovePlugListener(id);
    PlugNew();
    EXPECT_EQ(calls, 1);
}

TEST_F(SimHotplugTest, WithoutNotificationsTheClassIsListedEveryPeriod) {
    wusb::ListingHotplug polling(platform, kUsbWiegandClass, clock, wusb::kReenumerationPeriodMs);
    EXPECT_TRUE(polling.Wait(0).empty());  // the first listing, of nothing
    PlugNew();
    const wusb::TimeStamp before = clock.Now();
    EXPECT_TRUE(polling.Wait(wusb::kReenumerationPeriodMs - 1).empty());
    EXPECT_EQ(polling.Wait(1000), (Events{{Kind::Arrived, "sim:0"}}));
    EXPECT_EQ(wusb::ElapsedMs(before, clock.Now()), wusb::kReenumerationPeriodMs);
}

}  // namespace
}  // namespace sim
