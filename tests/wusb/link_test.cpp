#include <gtest/gtest.h>

#include <vector>

#include "tests/wusb/script_platform.h"
#include "wusb/device.h"
#include "wusb/err.h"

namespace wusb {
namespace {

using testing::ScriptDevice;
using testing::ScriptPlatform;

class Link : public ::testing::Test {
  protected:
    ScriptPlatform platform;
    WUsbDevTab table{platform, kLinkLayerGuid};
    WUsbDev dev;

    ScriptDevice& Only() {
        return platform.deviceCount() ? platform.device(0) : platform.AddDevice();
    }

    // Links slot 0 and returns the code raised, or -1 when it linked.
    std::int32_t LinkCode() {
        Only();
        table.Enumerate();
        try {
            dev.Link(table, 0);
        } catch (const WUsbErr& err) {
            EXPECT_EQ(err.command, 0);
            return err.code;
        }
        return -1;
    }
};

TEST_F(Link, ReadsIdentityPipesAndSetsInTimeout) {
    ScriptDevice& d = Only();
    d.pipes = {{PipeType::Bulk, 0x02, 64, 0},
               {PipeType::Interrupt, 0x83, 8, 10},
               {PipeType::Bulk, 0x81, 64, 0}};
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_TRUE(dev.IsLinked());
    EXPECT_EQ(dev.vendorId, 0x1234);
    EXPECT_EQ(dev.productId, 0x5678);
    EXPECT_EQ(dev.serialNumber, 0x0001A2F3u);
    EXPECT_EQ(dev.inPipe, 0x81);
    EXPECT_EQ(dev.outPipe, 0x02);
    EXPECT_TRUE(dev.firstReadRetry);
    ASSERT_EQ(d.timeouts.size(), 1u);
    EXPECT_EQ(d.timeouts[0], std::make_pair(std::uint8_t{0x81}, std::uint32_t{200}));
}

TEST_F(Link, SerialStringIsAskedByTheDescriptorsIndex) {
    ScriptDevice& d = Only();
    d.deviceDescriptor[16] = 7;
    ASSERT_EQ(LinkCode(), -1);
    ASSERT_EQ(d.descriptorRequests.size(), 2u);
    EXPECT_EQ(d.descriptorRequests[0].type, kDeviceDescriptor);
    EXPECT_EQ(d.descriptorRequests[0].length, 18u);
    EXPECT_EQ(d.descriptorRequests[1].type, kStringDescriptor);
    EXPECT_EQ(d.descriptorRequests[1].index, 7);
    EXPECT_EQ(d.descriptorRequests[1].language, kLanguageEnglishUs);
    EXPECT_EQ(d.descriptorRequests[1].length, 254u);
}

TEST_F(Link, SerialTextEndsAtTheTransferredCount) {
    ScriptDevice& d = Only();
    // Descriptor "123" but the platform reports only the first two characters moved.
    d.rawStringDescriptor = {8, 3, '1', 0, '2', 0, '3', 0};
    d.reportedStringLength = 6;
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(dev.serialNumber, 0x12u);
}

TEST_F(Link, OddOrOversizedSerialCountsStayInsideTheBuffer) {
    ScriptDevice& d = Only();
    d.rawStringDescriptor = {8, 3, '1', 0, '2', 0, '3', 0};
    d.reportedStringLength = 5;  // the zero covers the high byte of "2" and the next low byte
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(dev.serialNumber, 0x12u);

    d.reportedStringLength = 100000;  // a count far beyond the request
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(dev.serialNumber, 0x123u);

    d.reportedStringLength = 0;  // nothing counted as moved, whatever the buffer holds
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(dev.serialNumber, 0u);
}

TEST_F(Link, SerialLongerThanTheRequestIsCutAt254Bytes) {
    ScriptDevice& d = Only();
    // 125 blanks and "1" fill the 254 bytes asked for; "234" lies beyond them.
    d.serial = std::u16string(125, u' ') + u"1234";
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(dev.serialNumber, 0x1u);
}

TEST_F(Link, IndexOutsideTheTableRaisesZero) {
    platform.AddDevice();
    table.Enumerate();
    for (int index : {1, -1, 8, 100}) {
        try {
            dev.Link(table, index);
            ADD_FAILURE() << index;
        } catch (const WUsbErr& err) {
            EXPECT_EQ(err.code, 0);
        }
    }
}

TEST_F(Link, EachQueryFailureRaisesItsCode) {
    Only().deviceDescriptorFails = true;
    EXPECT_EQ(LinkCode(), 1);
    Only().deviceDescriptorFails = false;
    Only().stringDescriptorFails = true;
    EXPECT_EQ(LinkCode(), 2);
    Only().stringDescriptorFails = false;
    Only().settingsFail = true;
    EXPECT_EQ(LinkCode(), 3);
    Only().settingsFail = false;
    Only().pipeQueryFailsAt = 1;
    EXPECT_EQ(LinkCode(), 4);
    Only().pipeQueryFailsAt = -1;
    Only().numEndpoints = 3;  // more endpoints announced than the device has
    EXPECT_EQ(LinkCode(), 4);
    EXPECT_FALSE(dev.IsLinked());
}

TEST_F(Link, PipeSetsThatAreNotOneInOneOut) {
    struct Case {
        std::vector<PipeInfo> pipes;
        std::int32_t code;
    };
    const PipeInfo bulkIn{PipeType::Bulk, 0x81, 64, 0};
    const PipeInfo bulkIn2{PipeType::Bulk, 0x82, 64, 0};
    const PipeInfo bulkOut{PipeType::Bulk, 0x01, 64, 0};
    const PipeInfo bulkOut2{PipeType::Bulk, 0x03, 64, 0};
    const PipeInfo interruptOut{PipeType::Interrupt, 0x04, 8, 1};
    const std::vector<Case> cases{
        {{}, 6},
        {{bulkOut}, 6},
        {{bulkIn}, 7},
        {{bulkIn, interruptOut}, 7},
        {{bulkIn, bulkIn2, bulkOut}, 8},
        {{bulkOut, bulkIn, bulkOut2}, 9},
        // The second IN is met before the missing OUT would be noticed.
        {{bulkIn, bulkIn2}, 8},
    };
    for (const Case& c : cases) {
        Only().pipes = c.pipes;
        EXPECT_EQ(LinkCode(), c.code) << c.pipes.size();
        EXPECT_FALSE(dev.IsLinked());
    }
    EXPECT_TRUE(Only().clearedHalts.empty()) << "no pipe is touched before the set is valid";
}

TEST_F(Link, ClearsAHaltOnBothPipesAndGoesOnWhenThatFails) {
    ScriptDevice& d = Only();
    d.pipes = {{PipeType::Bulk, 0x02, 64, 0}, {PipeType::Bulk, 0x81, 64, 0}};
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(d.clearedHalts, (std::vector<std::uint8_t>{0x81, 0x02}));
    // Each Link clears again: a stall may have come since.
    ASSERT_EQ(LinkCode(), -1);
    EXPECT_EQ(d.clearedHalts.size(), 4u);

    d.clearHaltFails = true;
    EXPECT_EQ(LinkCode(), -1);
    EXPECT_TRUE(dev.IsLinked());
}

TEST_F(Link, FailedLinkUnlinksAPreviouslyLinkedObject) {
    ASSERT_EQ(LinkCode(), -1);
    Only().settingsFail = true;
    try {
        dev.Link(table, 0);
        ADD_FAILURE();
    } catch (const WUsbErr& err) {
        EXPECT_EQ(err.code, 3);
    }
    EXPECT_FALSE(dev.IsLinked());
    std::uint8_t byte = 0;
    EXPECT_THROW(dev.WriteRaw(1, &byte), WUsbErr);
}

TEST_F(Link, TimeoutFailureRaisesFiveButLeavesLinked) {
    ScriptDevice& d = Only();
    d.inQueue.clear();
    ASSERT_EQ(LinkCode(), -1);
    std::uint8_t buffer[4];
    EXPECT_EQ(dev.ReadRaw(4, buffer), 0u);  // uses up the retry
    EXPECT_FALSE(dev.firstReadRetry);

    d.timeoutFails = true;
    EXPECT_EQ(LinkCode(), 5);
    EXPECT_TRUE(dev.IsLinked());
    EXPECT_FALSE(dev.firstReadRetry);
    EXPECT_THROW(dev.SetInPipeTimeout(100), WUsbErr);
}

class RawPipes : public Link {
  protected:
    void SetUp() override { ASSERT_EQ(LinkCode(), -1); }
};

TEST_F(RawPipes, FirstReadAfterLinkIsRepeatedOnceOnly) {
    ScriptDevice& d = Only();
    d.QueueTimeout();
    d.QueueIn({7, 8});
    std::uint8_t buffer[16];
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 2u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(d.readPipes.size(), 2u);

    d.QueueTimeout();
    d.QueueIn({9});
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u);
    EXPECT_EQ(d.readPipes.size(), 3u);
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 1u);
    for (std::uint8_t pipe : d.readPipes) {
        EXPECT_EQ(pipe, 0x81);
    }
}

TEST_F(RawPipes, EmptyFirstReadIsRepeatedAndSuccessfulOneIsNot) {
    ScriptDevice& d = Only();
    d.QueueIn({});
    d.QueueTimeout();
    std::uint8_t buffer[16];
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u);
    EXPECT_EQ(d.readPipes.size(), 2u);
    EXPECT_FALSE(dev.firstReadRetry);

    // After a new Link the retry is armed again, and a good first read spends it.
    dev.Link(table, 0);
    d.QueueIn({1});
    d.QueueIn({2});
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 1u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_FALSE(dev.firstReadRetry);
}

TEST_F(RawPipes, ReadHonoursCapacity) {
    ScriptDevice& d = Only();
    d.QueueIn({1, 2, 3, 4, 5});
    std::uint8_t buffer[4];
    dev.firstReadRetry = false;
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u);  // more than fits is an overflow
    EXPECT_EQ(d.readLengths.back(), 4u);
}

TEST_F(RawPipes, WriteIsTrueOnlyWhenEveryByteWent) {
    ScriptDevice& d = Only();
    const std::vector<std::uint8_t> bytes{1, 2, 3, 4};
    EXPECT_TRUE(dev.WriteRaw(4, bytes.data()));
    EXPECT_EQ(d.writes.back(), bytes);
    EXPECT_EQ(d.writePipes.back(), 0x02);
    d.writeLimit = 3;
    EXPECT_FALSE(dev.WriteRaw(4, bytes.data()));
    d.writeLimit.reset();
    d.writeFails = true;
    EXPECT_FALSE(dev.WriteRaw(4, bytes.data()));
}

TEST_F(RawPipes, UnpluggedDeviceReadsNothingAndWritesFail) {
    ScriptDevice& d = Only();
    d.unplugged = true;
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u);
    EXPECT_FALSE(dev.WriteRaw(1, buffer));
    EXPECT_TRUE(dev.IsLinked());
}

TEST_F(RawPipes, ClosedTableMakesTransfersRaiseTen) {
    table.CloseAll();
    EXPECT_FALSE(dev.IsLinked());
    std::uint8_t buffer[4] = {};
    for (int which = 0; which < 2; ++which) {
        try {
            if (which == 0) {
                dev.ReadRaw(sizeof buffer, buffer);
            } else {
                dev.WriteRaw(sizeof buffer, buffer);
            }
            ADD_FAILURE() << which;
        } catch (const WUsbErr& err) {
            EXPECT_EQ(err.code, 10);
            EXPECT_EQ(err.command, 0);
        }
    }
    const auto before = Only().timeouts.size();
    EXPECT_NO_THROW(dev.SetInPipeTimeout(100));
    EXPECT_EQ(Only().timeouts.size(), before);
    EXPECT_EQ(platform.staleHandleUses(), 0);
}

TEST(UnlinkedObject, RawTransfersRaiseTenAndTimeoutIsIgnored) {
    WUsbDev dev;
    std::uint8_t byte = 0;
    EXPECT_FALSE(dev.IsLinked());
    EXPECT_TRUE(dev.firstReadRetry);
    EXPECT_THROW(dev.ReadRaw(1, &byte), WUsbErr);
    EXPECT_THROW(dev.WriteRaw(1, &byte), WUsbErr);
    EXPECT_NO_THROW(dev.SetInPipeTimeout(200));
}

}  // namespace
}  // namespace wusb
