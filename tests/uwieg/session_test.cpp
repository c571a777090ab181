// Finding the interface and connecting the reader.
#include <gtest/gtest.h>

#include "linked_device.h"
#include "recording_dialogs.h"
#include "uwieg/err.h"
#include "wusb/err.h"

namespace uwieg_test {
namespace {

// The answer to 'M' from a reader of this type (leading byte included).
Bytes IdentityAnswer(int typeNumber, std::uint16_t readerNumber, std::uint16_t firmware) {
    const std::uint32_t word =
        static_cast<std::uint32_t>((typeNumber + 80) % 100) << 16 | readerNumber;
    return {0x00,
            static_cast<std::uint8_t>(word),
            static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word >> 16),
            static_cast<std::uint8_t>(word >> 24),
            static_cast<std::uint8_t>(firmware),
            static_cast<std::uint8_t>(firmware >> 8),
            0x00,
            0x00};
}

TEST(OpenInterface, NoInterfaceShowsTheErrorAndLinksNothing) {
    FakeUsb usb;
    usb.present = false;
    wusb::FakeClock clock;
    wusb::WUsbDevTab table{usb, uwieg::kInterfaceGuid};
    uwieg::UWiegDev dev{clock};
    RecordingDialogs dialogs;
    EXPECT_FALSE(uwieg::OpenInterface(table, dev, dialogs));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{uwieg::kNoInterfaceText});
    EXPECT_FALSE(dev.IsLinked());
}

TEST(OpenInterface, InterfaceWithoutPermissionSaysSo) {
    FakeUsb usb;
    usb.denyAccess = true;
    wusb::FakeClock clock;
    wusb::WUsbDevTab table{usb, uwieg::kInterfaceGuid};
    uwieg::UWiegDev dev{clock};
    RecordingDialogs dialogs;
    EXPECT_FALSE(uwieg::OpenInterface(table, dev, dialogs));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{uwieg::kNoAccessText});
}

TEST(OpenInterface, LinksTheFirstInterfaceEveryTime) {
    FakeUsb usb;
    wusb::FakeClock clock;
    wusb::WUsbDevTab table{usb, uwieg::kInterfaceGuid};
    uwieg::UWiegDev dev{clock};
    RecordingDialogs dialogs;
    ASSERT_TRUE(uwieg::OpenInterface(table, dev, dialogs));
    EXPECT_TRUE(dev.IsLinked());
    ASSERT_TRUE(uwieg::OpenInterface(table, dev, dialogs));
    EXPECT_TRUE(dev.IsLinked());
    EXPECT_EQ(table.count(), 1);
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(usb.timeouts, (std::vector<std::uint32_t>{200, 200}));
}

class Connect : public LinkedDevice {};

TEST_F(Connect, EveryKnownReaderType) {
    for (int type : {41, 43, 51, 53}) {
        SCOPED_TRACE(type);
        usb.AcknowledgeAll(IdentityAnswer(type, 777, 9));
        usb.written.clear();
        const std::uint64_t sleptBefore = clock.slept();
        clock.Advance(1000);  // past any quiet period
        uwieg::ConnectReader(dev);
        EXPECT_TRUE(dev.channelOpen);
        EXPECT_EQ(dev.identity().typeNumber(), type);
        EXPECT_EQ(dev.identity().readerNumber(), 777);
        EXPECT_EQ(dev.firmwareVersion, 9);
        // The wait after 'O', after the quiet period when a channel was open.
        EXPECT_EQ(clock.slept() - sleptBefore, type == 41 ? 100u : 200u);
        // The previous connection left the channel open: it is closed first.
        const std::vector<Bytes> opened{Frame('O', {1}), Frame('T', {'M'})};
        const std::vector<Bytes> closedFirst{Frame('o', {}), Frame('O', {1}), Frame('T', {'M'})};
        EXPECT_EQ(usb.written, type == 41 ? opened : closedFirst);
    }
}

TEST_F(Connect, FirstConnectionWaitsOnlyAfterOpening) {
    usb.AcknowledgeAll(IdentityAnswer(53, 1, 1));
    uwieg::ConnectReader(dev);
    EXPECT_EQ(clock.slept(), 100u);
    EXPECT_EQ(usb.written, (std::vector<Bytes>{Frame('O', {1}), Frame('T', {'M'})}));
}

TEST_F(Connect, UnknownTypeIsRefusedWithTheChannelLeftOpen) {
    usb.AcknowledgeAll(IdentityAnswer(42, 5, 3));
    try {
        uwieg::ConnectReader(dev);
        FAIL() << "type 42 accepted";
    } catch (const uwieg::UWiegErr& err) {
        EXPECT_EQ(err.code, 2u);
        EXPECT_EQ(uwieg::Message(err), "Nie znany typ czytnika.");
    }
    EXPECT_TRUE(dev.channelOpen);
    EXPECT_EQ(dev.identity().typeNumber(), 42);

    // The next connection closes the channel and waits the quiet period first.
    usb.AcknowledgeAll(IdentityAnswer(41, 5, 3));
    usb.written.clear();
    clock.Advance(60'000);
    const std::uint64_t sleptBefore = clock.slept();
    uwieg::ConnectReader(dev);
    EXPECT_EQ(usb.written.front(), Frame('o', {}));
    EXPECT_EQ(clock.slept() - sleptBefore, 200u);
}

TEST_F(Connect, FaultsOnTheWay) {
    struct Case {
        const char* name;
        std::function<void(const Bytes&)> device;
        int wusbCode;  // -1 when a UWiegErr is expected
        std::uint32_t uwiegCode;
        char letter;
        bool channelOpenAfter;
    };
    auto answer = [this](std::uint8_t command, const Bytes& payload) {
        usb.in.push_back(Frame(static_cast<std::uint8_t>(command | 0x80), payload));
    };
    const Case cases[] = {
        {"'o' unanswered",
         [&](const Bytes& out) {
             if (out[2] != 'o')
                 answer(out[2], {0});
         },
         12, 0, 'o', true},
        {"'o' refused",
         [&](const Bytes& out) { answer(out[2], {static_cast<std::uint8_t>(out[2] == 'o')}); }, 13,
         0, 'o', true},
        {"'O' unanswered",
         [&](const Bytes& out) {
             if (out[2] != 'O')
                 answer(out[2], {0});
         },
         12, 0, 'O', false},
        {"'O' refused",
         [&](const Bytes& out) { answer(out[2], {static_cast<std::uint8_t>(out[2] == 'O')}); }, 13,
         0, 'O', false},
        {"identify unanswered",
         [&](const Bytes& out) {
             if (out[2] != 'T')
                 answer(out[2], {0});
         },
         -1, 0, 0, true},
        {"identify answer too short",
         [&](const Bytes& out) { answer(out[2], out[2] == 'T' ? Bytes(8, 0) : Bytes{0}); }, -1, 0,
         0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case starts from an open channel, so the connection must close it first.
        dev.channelOpen = true;
        dev.identityWord = 0xABCD;
        usb.onWrite = c.device;
        const wusb::TimeStamp closedBefore = dev.lastClose;
        const std::uint64_t sleptBefore = clock.slept();
        try {
            uwieg::ConnectReader(dev);
            ADD_FAILURE() << "connected";
        } catch (const wusb::WUsbErr& err) {
            EXPECT_EQ(err.code, c.wusbCode);
            EXPECT_EQ(err.command, c.letter);
        } catch (const uwieg::UWiegErr& err) {
            EXPECT_EQ(c.wusbCode, -1);
            EXPECT_EQ(err.code, c.uwiegCode);
        }
        EXPECT_EQ(dev.channelOpen, c.channelOpenAfter);
        EXPECT_EQ(dev.identityWord, 0xABCDu);
        const bool closeFailed = c.letter == 'o';
        EXPECT_EQ(wusb::ElapsedMs(closedBefore, dev.lastClose) == 0, closeFailed);
        EXPECT_EQ(clock.slept() - sleptBefore, closeFailed ? 0u : (c.letter == 'O' ? 100u : 200u));
        usb.in.clear();
    }
}

}  // namespace
}  // namespace uwieg_test
