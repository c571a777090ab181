#include <gtest/gtest.h>

#include "wusb/clock.h"
#include "wusb/guid.h"

namespace wusb {
namespace {

TEST(FakeClock, SleepAdvancesTimeAndCounts) {
    FakeClock clock({10, 950});
    clock.Sleep(100);
    EXPECT_EQ(clock.Now().seconds, 11);
    EXPECT_EQ(clock.Now().milliseconds, 50);
    clock.Sleep(1000);
    EXPECT_EQ(clock.slept(), 1100u);
    EXPECT_EQ(ElapsedMs({10, 950}, clock.Now()), 1100);
}

TEST(FakeClock, TheWallClockStepsAloneAndBorrowsAcrossSeconds) {
    FakeClock clock({10, 20});
    const Instant before = clock.Monotonic();
    clock.StepWall(-30);
    EXPECT_EQ(clock.Now().seconds, 9);
    EXPECT_EQ(clock.Now().milliseconds, 990);
    EXPECT_EQ(clock.slept(), 0u);
    EXPECT_EQ(ElapsedMs({10, 20}, clock.Now()), -30);
    EXPECT_EQ(ElapsedUs(before, clock.Monotonic()), 0);

    FakeClock nearEpoch({0, 5});
    nearEpoch.StepWall(-10);
    EXPECT_EQ(nearEpoch.Now().seconds, -1);
    EXPECT_EQ(nearEpoch.Now().milliseconds, 995);
}

TEST(SystemClock, SleepsTheCallingThread) {
    SystemClock clock;
    const TimeStamp before = clock.Now();
    const Instant start = clock.Monotonic();
    EXPECT_LT(before.milliseconds, 1000);
    clock.Sleep(30);
    EXPECT_GE(ElapsedUs(start, clock.Monotonic()), 30'000) << "never shorter than asked";
    EXPECT_LT(ElapsedMs(start, clock.Monotonic()), 5000);
}

TEST(Schedule, WaitsAbsorbTheWorkBetweenThemAndNeverGoNegative) {
    FakeClock clock({10, 990});
    Schedule schedule(clock);
    clock.Advance(3);  // work before the first deadline
    schedule.WaitUntil(5);
    EXPECT_EQ(clock.slept(), 2u);
    clock.Advance(7);  // work that overruns the next deadline
    schedule.WaitUntil(10);
    EXPECT_EQ(clock.slept(), 2u) << "a passed deadline waits not at all";
    schedule.WaitUntil(12);  // exactly on time
    EXPECT_EQ(clock.slept(), 2u);
    schedule.WaitUntil(60);  // the lateness is absorbed, across a second boundary
    EXPECT_EQ(ElapsedMs({10, 990}, clock.Now()), 60);
    EXPECT_EQ(clock.slept(), 50u);
}

TEST(Schedule, AWaitEndsLateNeverEarlyAndIgnoresTheWallClock) {
    FakeClock clock;
    const Instant start = clock.Monotonic();
    Schedule schedule(clock);
    // Work of a fraction of a millisecond: the wait rounds up, so the deadline is not missed.
    clock.AdvanceMicroseconds(300);
    schedule.WaitUntil(5);
    EXPECT_GE(ElapsedUs(start, clock.Monotonic()), 5'000);
    EXPECT_LT(ElapsedUs(start, clock.Monotonic()), 6'000);
    clock.StepWall(-60'000);
    schedule.WaitUntil(10);
    clock.StepWall(120'000);
    schedule.WaitUntil(15);
    EXPECT_GE(ElapsedUs(start, clock.Monotonic()), 15'000);
    EXPECT_EQ(clock.longestSleep(), 5u);
}

TEST(Guid, TextFormRoundTrips) {
    EXPECT_EQ(kLinkLayerGuid.ToString(), "{4263F2BF-A84E-4848-8B7E-95F56F0A32DC}");
    EXPECT_EQ(Guid::Parse("{4263f2bf-a84e-4848-8b7e-95f56f0a32dc}"), kLinkLayerGuid);
    const Guid other{0x0000000A, 0x00B0, 0x0C00, {1, 2, 3, 4, 5, 6, 7, 0xFF}};
    EXPECT_EQ(other.ToString(), "{0000000A-00B0-0C00-0102-0304050607FF}");
    EXPECT_EQ(Guid::Parse(other.ToString()), other);
}

TEST(Guid, ParseRejectsOtherForms) {
    for (const char* text :
         {"", "4263F2BF-A84E-4848-8B7E-95F56F0A32DC", "{4263F2BF-A84E-4848-8B7E-95F56F0A32D}",
          "{4263F2BF-A84E-4848-8B7E-95F56F0A32DCC}", "{4263F2BFA-84E-4848-8B7E-95F56F0A32DC}",
          "{4263F2BF-A84E-4848-8B7E-95F56F0A32DG}", "(4263F2BF-A84E-4848-8B7E-95F56F0A32DC)",
          "{4263F2BF-A84E-4848-8B7E 95F56F0A32DC}"}) {
        EXPECT_FALSE(Guid::Parse(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace wusb
