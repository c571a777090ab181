// Taking transmission reports off the IN pipe.
#include <gtest/gtest.h>

#include "linked_device.h"
#include "wusb/crc.h"
#include "wusb/err.h"

namespace uwieg_test {
namespace {

const Bytes kCardFrame{0x0A, 0x00, 0x57, 0x9C, 0x12, 0x34, 0x56, 0x78, 0x66, 0xBB};

class Poll : public LinkedDevice {
  protected:
    // Polls once with `transfer` waiting (none when empty) and checks the time-outs.
    Bytes PollWith(const Bytes& transfer) {
        usb.in.clear();
        if (!transfer.empty()) {
            usb.in.push_back(transfer);
        }
        usb.timeouts.clear();
        std::array<std::uint8_t, 32> buffer{};
        const int n = dev.PollReport(buffer.data());
        EXPECT_EQ(usb.timeouts, (std::vector<std::uint32_t>{100, 200}));
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 27);
        return Bytes(buffer.begin(), buffer.begin() + std::max(n, 0));
    }
};

TEST_F(Poll, AcceptsACorrectReport) {
    EXPECT_EQ(PollWith(kCardFrame), (Bytes{0x9C, 0x12, 0x34, 0x56, 0x78}));
    // The largest report: a 32-byte frame with 27 payload bytes.
    const Bytes payload(27, 0x81);
    EXPECT_EQ(PollWith(Frame('W', payload)), payload);
}

TEST_F(Poll, RejectsDamagedOrForeignFrames) {
    for (std::size_t i = 3; i < kCardFrame.size(); ++i) {
        SCOPED_TRACE(i);
        Bytes damaged = kCardFrame;
        damaged[i] ^= 0x01;
        EXPECT_TRUE(PollWith(damaged).empty());
    }
    EXPECT_TRUE(PollWith(Frame(0xCF, {0x00, 0x01, 0x02})).empty());
    EXPECT_TRUE(PollWith(Frame('W', {})).empty());
    EXPECT_TRUE(PollWith(Frame('W', Bytes(28, 0x81))).empty());  // length field 33
}

TEST_F(Poll, ShortReadsAndTimeOutsGiveNothing) {
    EXPECT_TRUE(PollWith({}).empty());
    EXPECT_TRUE(PollWith({0x05, 0x00, 0x57, 0x00}).empty());
    EXPECT_TRUE(PollWith({0x04}).empty());
}

TEST_F(Poll, OnlyTheFirstOfTwoReportsInOneReadIsTaken) {
    Bytes both = Frame('W', {0x40, 0x70});
    const Bytes second = Frame('W', {0x9C, 0x01, 0x02, 0x03, 0x04});
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(PollWith(both), (Bytes{0x40, 0x70}));
    EXPECT_TRUE(PollWith({}).empty());
}

TEST_F(Poll, BytesBeyondTheReadNeverCount) {
    // A report whose check bytes happen to be 00 00, delivered without them: the missing bytes
    // must not be made up from whatever the buffer holds.
    Bytes frame{0x0A, 0x00, 0x57, 0x9C, 0x12, 0x34, 0x00, 0x00};
    bool found = false;
    for (unsigned v = 0; v <= 0xFFFF && !found; ++v) {
        frame[6] = static_cast<std::uint8_t>(v);
        frame[7] = static_cast<std::uint8_t>(v >> 8);
        found = wusb::Crc16(frame.data(), frame.size(), 0xFFFF) == 0;
    }
    ASSERT_TRUE(found);
    Bytes whole = frame;
    whole.insert(whole.end(), {0x00, 0x00});
    ASSERT_EQ(PollWith(whole).size(), 5u);  // the complete frame is a good report
    EXPECT_TRUE(PollWith(frame).empty());
}

TEST_F(Poll, PipeTimeOutFailureIsRaised) {
    usb.failSetTimeout = true;
    std::array<std::uint8_t, 32> buffer{};
    try {
        dev.PollReport(buffer.data());
        FAIL() << "time-out failure swallowed";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 5);
    }
}

TEST_F(Poll, UnlinkedDeviceRaisesNotLinkedWithoutTouchingThePipe) {
    table.CloseAll();
    usb.in.push_back(kCardFrame);
    std::array<std::uint8_t, 32> buffer{};
    try {
        dev.PollReport(buffer.data());
        FAIL() << "unlinked poll succeeded";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 10);
    }
    EXPECT_TRUE(usb.timeouts.empty());
    EXPECT_EQ(usb.in.size(), 1u);
}

}  // namespace
}  // namespace uwieg_test
