#include <gtest/gtest.h>

#include <vector>

#include "tests/wusb/script_platform.h"
#include "wusb/crc.h"
#include "wusb/device.h"
#include "wusb/err.h"
#include "wusb/frame.h"

namespace wusb {
namespace {

using testing::ScriptDevice;
using testing::ScriptPlatform;
using Bytes = std::vector<std::uint8_t>;

Bytes Built(std::uint8_t command, const Bytes& payload) {
    FrameBuffer frame;
    const auto n =
        BuildFrame(command, payload.data(), static_cast<std::uint32_t>(payload.size()), frame);
    return {frame.begin(), frame.begin() + n};
}

TEST(FrameLayout, WorkedFramesAndZeroResidue) {
    EXPECT_EQ(Built(0x4F, {0x01}), (Bytes{0x06, 0x00, 0x4F, 0x01, 0xF5, 0x5C}));
    EXPECT_EQ(Built(0x6F, {}), (Bytes{0x05, 0x00, 0x6F, 0x21, 0xED}));
    EXPECT_EQ(Built(0xCF, {0x00}), (Bytes{0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C}));
    for (const Bytes& frame : {Built(0x4F, {0x01}), Built(0x6F, {}), Built(0xCF, {0x00})}) {
        EXPECT_EQ(Crc16(frame.data(), frame.size(), 0xFFFF), 0u);
    }
}

TEST(FrameLayout, EverySingleBitChangeIsDetected) {
    for (std::uint32_t size : {0u, 1u, 8u, 300u, kMaxPayload}) {
        Bytes payload(size);
        for (std::uint32_t i = 0; i < size; ++i) {
            payload[i] = static_cast<std::uint8_t>(i * 37 + 11);
        }
        Bytes frame = Built(0x54, payload);
        ASSERT_EQ(frame.size(), size + 5);
        ASSERT_EQ(Crc16(frame.data(), frame.size(), 0xFFFF), 0u);
        for (std::size_t byte = 0; byte < frame.size(); ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                frame[byte] ^= static_cast<std::uint8_t>(1 << bit);
                ASSERT_NE(Crc16(frame.data(), frame.size(), 0xFFFF), 0u)
                    << "size " << size << " byte " << byte << " bit " << bit;
                frame[byte] ^= static_cast<std::uint8_t>(1 << bit);
            }
        }
    }
}

TEST(FrameLayout, PayloadLimits) {
    FrameBuffer frame;
    const Bytes big(kMaxPayload + 1, 0xAA);
    EXPECT_EQ(BuildFrame(0x54, big.data(), kMaxPayload, frame), kFrameCapacity);
    EXPECT_EQ(frame[0], 0x08);
    EXPECT_EQ(frame[1], 0x04);
    EXPECT_EQ(BuildFrame(0x54, big.data(), kMaxPayload + 1, frame), 0u);
}

TEST(FrameLayout, AcceptanceNeedsPayloadExactLengthAndResidue) {
    const Bytes good = Built(0xCF, {0x00});
    EXPECT_TRUE(IsAcceptableFrame(good.data(), 6));
    const Bytes empty = Built(0xEF, {});
    EXPECT_FALSE(IsAcceptableFrame(empty.data(), 5));
    Bytes trailing = good;
    trailing.push_back(0x00);
    EXPECT_FALSE(IsAcceptableFrame(trailing.data(), 7));
    Bytes corrupt = good;
    corrupt[3] = 0x01;
    EXPECT_FALSE(IsAcceptableFrame(corrupt.data(), 6));
    EXPECT_FALSE(IsAcceptableFrame(good.data(), 0));
}

class Exchange : public ::testing::Test {
  protected:
    ScriptPlatform platform;
    WUsbDevTab table{platform, kLinkLayerGuid};
    WUsbDev dev;
    ScriptDevice* device = nullptr;

    void SetUp() override {
        device = &platform.AddDevice();
        ASSERT_EQ(table.Enumerate(), 1);
        dev.Link(table, 0);
        dev.firstReadRetry = false;  // keeps the read count of each case exact
    }

    std::int32_t AckError(std::uint8_t command, const Bytes& payload, char* letter) {
        try {
            CommandAck(dev, command, static_cast<std::uint32_t>(payload.size()), payload.data());
        } catch (const WUsbErr& err) {
            *letter = err.command;
            return err.code;
        }
        return -1;
    }
};

TEST_F(Exchange, SendWritesOneFrameOrNothingWhenTooLong) {
    const Bytes payload(kMaxPayload + 1, 0x33);
    SendFrame(dev, 0x54, kMaxPayload, payload.data());
    ASSERT_EQ(device->writes.size(), 1u);
    EXPECT_EQ(device->writes[0].size(), kFrameCapacity);
    EXPECT_EQ(Crc16(device->writes[0].data(), kFrameCapacity, 0xFFFF), 0u);
    SendFrame(dev, 0x54, kMaxPayload + 1, payload.data());
    EXPECT_EQ(device->writes.size(), 1u);
    // A failing write is not reported.
    device->writeFails = true;
    EXPECT_NO_THROW(SendFrame(dev, 0x4F, 1, payload.data()));
}

TEST_F(Exchange, ReceiveDropsInvalidReadsUntilAFrameOrSilence) {
    Bytes twoFrames = Built(0xCF, {0x00});
    const Bytes second = Built(0xCF, {0x00});
    twoFrames.insert(twoFrames.end(), second.begin(), second.end());
    Bytes trailing = Built(0xCF, {0x00});
    trailing.push_back(0x77);
    Bytes badCrc = Built(0xCF, {0x00});
    badCrc[5] ^= 0x01;

    device->QueueIn({0x06});
    device->QueueIn(Built(0xEF, {}));  // valid but empty
    device->QueueIn(twoFrames);
    device->QueueIn(trailing);
    device->QueueIn(badCrc);
    device->QueueFrame(0xD4, {1, 2, 3});
    device->QueueFrame(0xCF, {0x00});

    FrameBuffer buffer;
    EXPECT_EQ(ReceiveFrame(dev, buffer), 8u);
    EXPECT_EQ(buffer[2], 0xD4);
    EXPECT_EQ(device->readPipes.size(), 6u);
    EXPECT_EQ(ReceiveFrame(dev, buffer), 6u);
    EXPECT_EQ(ReceiveFrame(dev, buffer), 0u);
    EXPECT_EQ(device->readLengths.back(), kFrameCapacity);
}

TEST_F(Exchange, ReceiveAcceptsTheLargestFrame) {
    device->QueueFrame(0xD4, Bytes(kMaxPayload, 0x5A));
    FrameBuffer buffer;
    EXPECT_EQ(ReceiveFrame(dev, buffer), kFrameCapacity);
}

TEST_F(Exchange, WaitSkipsOtherCommandsAndCopiesOnlyRealPayload) {
    device->QueueFrame(0x57, {0x01, 0x02, 0x03, 0x04});  // a transmission report first
    device->QueueFrame(0xD4, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    std::uint8_t out[12];
    std::fill(std::begin(out), std::end(out), std::uint8_t{0xEE});
    EXPECT_EQ(WaitResponse(dev, 0xD4, 8, out), 9u);
    EXPECT_EQ(out[7], 8);
    EXPECT_EQ(out[8], 0xEE);

    std::fill(std::begin(out), std::end(out), std::uint8_t{0xEE});
    device->QueueFrame(0xD4, {0x41, 0x42});
    EXPECT_EQ(WaitResponse(dev, 0xD4, 8, out), 2u);
    EXPECT_EQ(out[1], 0x42);
    EXPECT_EQ(out[2], 0xEE);  // nothing past the payload is touched

    device->QueueFrame(0x57, {0x00});
    EXPECT_EQ(WaitResponse(dev, 0xD4, 8, out), 0u);
    EXPECT_TRUE(device->inQueue.empty());
}

TEST_F(Exchange, CommandPairsRequestWithItsResponseByte) {
    device->QueueFrame(0xCF, {0x00});  // a late answer to an earlier request
    device->QueueFrame(0xD4, {0x10, 0x20});
    const std::uint8_t request[] = {0x4D};
    std::uint8_t out[2] = {};
    EXPECT_EQ(Command(dev, 'T', 1, request, 2, out), 2u);
    EXPECT_EQ(device->writes.back(), Built('T', {0x4D}));
    EXPECT_EQ(out[0], 0x10);
    EXPECT_EQ(out[1], 0x20);
}

TEST_F(Exchange, AckAcceptsStatusZero) {
    device->QueueIn({0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C});
    char letter = 0;
    EXPECT_EQ(AckError('O', {0x01}, &letter), -1);
    EXPECT_EQ(device->writes.back(), (Bytes{0x06, 0x00, 0x4F, 0x01, 0xF5, 0x5C}));
}

TEST_F(Exchange, AckFailuresCarryTheRequestLetter) {
    char letter = 0;
    device->QueueFrame(0xCF, {0x01});
    EXPECT_EQ(AckError('O', {0x01}, &letter), 13);
    EXPECT_EQ(letter, 'O');

    device->QueueFrame(0xCF, {0x00, 0x00});
    EXPECT_EQ(AckError('O', {0x01}, &letter), 12);
    EXPECT_EQ(letter, 'O');

    letter = 0;
    EXPECT_EQ(AckError('o', {}, &letter), 12);  // silence
    EXPECT_EQ(letter, 'o');
    EXPECT_EQ(Message({12, letter}), "Brak odpowiedzi., rozk: o");
}

TEST_F(Exchange, TooLongRequestEndsWithoutResponse) {
    const Bytes payload(kMaxPayload + 1, 0);
    char letter = 0;
    EXPECT_EQ(AckError('S', payload, &letter), 12);
    EXPECT_TRUE(device->writes.empty());
}

TEST_F(Exchange, UnlinkedObjectRaisesTenThroughEveryOperation) {
    table.CloseAll();
    FrameBuffer buffer;
    std::uint8_t out[1];
    const auto code = [](auto&& operation) {
        try {
            operation();
        } catch (const WUsbErr& err) {
            return err.code;
        }
        return -1;
    };
    EXPECT_EQ(code([&] { SendFrame(dev, 'o', 0, nullptr); }), 10);
    EXPECT_EQ(code([&] { ReceiveFrame(dev, buffer); }), 10);
    EXPECT_EQ(code([&] { WaitResponse(dev, 0xCF, 1, out); }), 10);
    EXPECT_EQ(code([&] { CommandAck(dev, 'o', 0, nullptr); }), 10);
}

}  // namespace
}  // namespace wusb
