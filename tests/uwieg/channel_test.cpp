// Interface commands on the wire, the reader channel's host-side state and the quiet period.
#include <gtest/gtest.h>

#include "linked_device.h"
#include "wusb/err.h"

namespace uwieg_test {
namespace {

class Channel : public LinkedDevice {
  protected:
    void SetUp() override {
        LinkedDevice::SetUp();
        usb.AcknowledgeAll();
    }

    // Puts the clock `ms` after a close acknowledged now.
    void CloseThenWait(std::int64_t ms) {
        dev.CloseChannel();
        clock.Advance(ms);
        usb.written.clear();
    }

    bool SentClose() const {
        return usb.written == std::vector<Bytes>{{0x05, 0x00, 0x6F, 0x21, 0xED}};
    }
};

TEST_F(Channel, InterfaceCommandsOnTheWire) {
    dev.OpenChannel(1);
    dev.OpenChannel(0);
    dev.CloseChannel();
    dev.OutputTest(1, 1);
    dev.OutputTest(1, 0);
    dev.OutputTest(0, 1);
    const std::vector<Bytes> expected{{0x06, 0x00, 0x4F, 0x01, 0xF5, 0x5C},
                                      {0x06, 0x00, 0x4F, 0x00, 0x34, 0x9C},
                                      {0x05, 0x00, 0x6F, 0x21, 0xED},
                                      {0x06, 0x00, 0x53, 0x03, 0x7C, 0x5D},
                                      Frame('S', {0x01}),
                                      Frame('S', {0x02})};
    EXPECT_EQ(usb.written, expected);
}

TEST_F(Channel, StartsClosedWithLastCloseOneSecondBack) {
    EXPECT_FALSE(dev.channelOpen);
    EXPECT_EQ(wusb::ElapsedUs(dev.lastClose, clock.Monotonic()), 1'000'000);
}

TEST_F(Channel, OpenAndCloseTrackTheChannel) {
    dev.OpenChannel(1);
    EXPECT_TRUE(dev.channelOpen);
    const wusb::Instant opened = clock.Monotonic();
    clock.Advance(1234);
    dev.CloseChannel();
    EXPECT_FALSE(dev.channelOpen);
    EXPECT_EQ(wusb::ElapsedMs(opened, dev.lastClose), 1234);
    EXPECT_EQ(clock.slept(), 0u);
}

TEST_F(Channel, UnacknowledgedCommandsLeaveTheStateAlone) {
    usb.onWrite = [this](const Bytes& out) {
        if (out[2] == 'O') {
            usb.in.push_back(Frame(0xCF, {0x01}));
        }
    };
    try {
        dev.OpenChannel(1);
        FAIL() << "refused 'O' accepted";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 13);
        EXPECT_EQ(err.command, 'O');
    }
    EXPECT_FALSE(dev.channelOpen);

    dev.channelOpen = true;
    const wusb::Instant before = dev.lastClose;
    try {
        dev.CloseChannel();
        FAIL() << "unanswered 'o' accepted";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 12);
        EXPECT_EQ(err.command, 'o');
    }
    EXPECT_TRUE(dev.channelOpen);
    EXPECT_EQ(dev.lastClose.microseconds, before.microseconds);

    usb.onWrite = [this](const Bytes&) { usb.in.push_back(Frame(0xD3, {0x00, 0x00})); };
    try {
        dev.OutputTest(0, 0);
        FAIL() << "two-byte acknowledgement accepted";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 12);
        EXPECT_EQ(err.command, 'S');
    }
}

TEST_F(Channel, QuietCloseRightAfterConstructionDoesNothing) {
    dev.QuietClose(100);
    EXPECT_TRUE(usb.written.empty());
    EXPECT_EQ(clock.slept(), 0u);
}

TEST_F(Channel, QuietCloseWithinThePeriodClosesAgainAndWaits) {
    for (std::int64_t elapsed : {0, 30, 100}) {
        SCOPED_TRACE(elapsed);
        CloseThenWait(elapsed);
        const std::uint64_t sleptBefore = clock.slept();
        // The acknowledgement takes a while: lastClose must be taken after it.
        usb.onWrite = [this](const Bytes& out) {
            clock.Advance(7);
            usb.in.push_back(Frame(static_cast<std::uint8_t>(out[2] | 0x80), {0}));
        };
        const wusb::Instant start = clock.Monotonic();
        dev.QuietClose(100);
        EXPECT_TRUE(SentClose());
        EXPECT_EQ(wusb::ElapsedMs(start, dev.lastClose), 7);
        EXPECT_FALSE(dev.channelOpen);
        EXPECT_EQ(clock.slept() - sleptBefore, 100u);
        usb.AcknowledgeAll();
    }
}

TEST_F(Channel, QuietCloseAfterThePeriodDoesNothing) {
    for (std::int64_t elapsed : {101, 5000}) {
        SCOPED_TRACE(elapsed);
        CloseThenWait(elapsed);
        const std::uint64_t sleptBefore = clock.slept();
        dev.QuietClose(100);
        EXPECT_TRUE(usb.written.empty());
        EXPECT_EQ(clock.slept(), sleptBefore);
    }
}

TEST_F(Channel, QuietCloseCountsOnTheMonotonicClockWhateverTheWallClockDoes) {
    // Closed at a second's end, the wall clock then set back or forward.
    for (const std::int64_t step : {0, -2000, -3'600'000, 3'600'000}) {
        SCOPED_TRACE(step);
        clock.Set({7000, 950});
        dev.CloseChannel();
        clock.StepWall(step);
        clock.AdvanceMicroseconds(100'999);
        usb.written.clear();
        dev.QuietClose(100);
        EXPECT_TRUE(SentClose()) << "within the period, counted in whole milliseconds";

        dev.CloseChannel();
        clock.StepWall(step);
        clock.AdvanceMicroseconds(101'000);
        usb.written.clear();
        dev.QuietClose(100);
        EXPECT_TRUE(usb.written.empty()) << "past the period";
    }
}

TEST_F(Channel, QuietCloseWithTheChannelOpenAlwaysCloses) {
    dev.OpenChannel(0);
    clock.Advance(3'600'000);
    usb.written.clear();
    dev.QuietClose(100);
    EXPECT_TRUE(SentClose());
    EXPECT_FALSE(dev.channelOpen);
    EXPECT_EQ(clock.slept(), 100u);
}

TEST_F(Channel, QuietCloseRefusedNeitherWaitsNorChangesState) {
    dev.OpenChannel(1);
    const wusb::Instant before = dev.lastClose;
    usb.onWrite = [this](const Bytes&) { usb.in.push_back(Frame(0xEF, {0x05})); };
    EXPECT_THROW(dev.QuietClose(100), wusb::WUsbErr);
    EXPECT_TRUE(dev.channelOpen);
    EXPECT_EQ(dev.lastClose.microseconds, before.microseconds);
    EXPECT_EQ(clock.slept(), 0u);
}

}  // namespace
}  // namespace uwieg_test
