// The protocol layer against the simulated interface and reader, end to end.
#include <gtest/gtest.h>

#include <memory>

#include "recording_dialogs.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "uwieg/config.h"
#include "uwieg/device.h"
#include "uwieg/err.h"
#include "uwieg/report.h"
#include "uwieg/session.h"
#include "wusb/err.h"

namespace uwieg_test {
namespace {

// One simulated interface plugged in and linked, on a fake clock.
struct Bench {
    Bench() {
        platform.Plug(iface);
        const bool opened = uwieg::OpenInterface(list, dev, dialogs);
        EXPECT_TRUE(opened);
    }

    // The interface commands the simulator received, reader commands as "T<letter>".
    std::vector<std::string> Received() const {
        std::vector<std::string> commands;
        for (const auto& r : iface->received()) {
            std::string c(1, static_cast<char>(r.command));
            if (r.command == 'T' && !r.payload.empty()) {
                c += static_cast<char>(r.payload[0]);
            }
            commands.push_back(c);
        }
        return commands;
    }

    wusb::FakeClock clock;
    sim::SimPlatform platform{clock};
    std::shared_ptr<sim::SimInterface> iface = std::make_shared<sim::SimInterface>();
    wusb::WUsbDevTab list{platform, uwieg::kInterfaceGuid};
    uwieg::UWiegDev dev{clock};
    RecordingDialogs dialogs;
};

using Commands = std::vector<std::string>;

TEST(OnSimulator, ConnectsEveryKnownReaderType) {
    Bench b;
    for (int type : {41, 43, 51, 53}) {
        SCOPED_TRACE(type);
        b.iface->reader().typeNumber = type;
        b.iface->reader().readerNumber = static_cast<std::uint16_t>(type * 100);
        b.iface->reader().firmwareVersion = 7;
        b.iface->ClearReceived();
        uwieg::ConnectReader(b.dev);
        EXPECT_TRUE(b.dev.channelOpen);
        EXPECT_TRUE(b.iface->channelOpen());
        EXPECT_EQ(b.iface->channelMode(), 1);
        EXPECT_EQ(b.dev.identity().Description(), "Czytnik KV-T" + std::to_string(type) +
                                                      "X, Nr: 0" + std::to_string(type * 100) +
                                                      " (soft: 7)");
        // The read flow: a connection left closed just now must wait the quiet period out.
        b.dev.CloseChannel();
        EXPECT_FALSE(b.iface->channelOpen());
        EXPECT_EQ(b.Received(),
                  (type == 41 ? Commands{"O", "TM", "o"} : Commands{"o", "O", "TM", "o"}));
    }
}

TEST(OnSimulator, UnknownTypeIsRefusedAndClosedByTheNextConnection) {
    Bench b;
    b.iface->reader().typeNumber = 42;
    try {
        uwieg::ConnectReader(b.dev);
        FAIL() << "type 42 accepted";
    } catch (const uwieg::UWiegErr& err) {
        EXPECT_EQ(err.code, 2u);
    }
    EXPECT_TRUE(b.dev.channelOpen);
    EXPECT_TRUE(b.iface->channelOpen());

    b.iface->reader().typeNumber = 53;
    b.iface->ClearReceived();
    const std::uint64_t slept = b.clock.slept();
    b.clock.Advance(10'000);
    uwieg::ConnectReader(b.dev);
    EXPECT_EQ(b.Received(), (Commands{"o", "O", "TM"}));
    EXPECT_EQ(b.clock.slept() - slept, 200u);  // quiet period, then the wait after 'O'
    EXPECT_TRUE(b.dev.identity().offersKeypadMode());
}

TEST(OnSimulator, FaultsDuringTheConnection) {
    struct Case {
        const char* name;
        sim::Fault fault;
        int wusbCode;  // -1: a UWiegErr with code 0 is expected instead
        char letter;
        bool channelOpenAfter;
    };
    using K = sim::FaultKind;
    const Case cases[] = {
        {"close unanswered", {K::NoAnswer, 'o'}, 12, 'o', true},
        {"close refused", {K::Nak, 'o'}, 13, 'o', true},
        {"close damaged", {K::CorruptCrc, 'o'}, 12, 'o', true},
        {"open unanswered", {K::NoAnswer, 'O'}, 12, 'O', false},
        {"open refused", {K::Nak, 'O'}, 13, 'O', false},
        {"open answered too long", {K::WrongLength, 'O'}, 12, 'O', false},
        {"identify unanswered", {K::NoAnswer, 'T', 'M'}, -1, 0, true},
        {"identify too long", {K::WrongLength, 'T', 'M'}, -1, 0, true},
        {"identify damaged", {K::CorruptCrc, 'T', 'M'}, -1, 0, true},
        {"tunnel refused", {K::Nak, 'T', 'M'}, -1, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b;
        b.iface->reader().typeNumber = 43;
        b.dev.OpenChannel(0);  // as the test tab leaves it
        b.dev.identityWord = 0x1234;
        b.iface->InjectFault(c.fault);
        const wusb::Instant closedBefore = b.dev.lastClose;
        try {
            uwieg::ConnectReader(b.dev);
            ADD_FAILURE() << "connected";
        } catch (const wusb::WUsbErr& err) {
            EXPECT_EQ(err.code, c.wusbCode);
            EXPECT_EQ(err.command, c.letter);
        } catch (const uwieg::UWiegErr& err) {
            EXPECT_EQ(c.wusbCode, -1);
            EXPECT_EQ(err.code, 0u);
        }
        EXPECT_EQ(b.dev.channelOpen, c.channelOpenAfter);
        EXPECT_EQ(b.dev.identityWord, 0x1234u);
        EXPECT_EQ(wusb::ElapsedUs(closedBefore, b.dev.lastClose) == 0, c.letter == 'o');

        // Whatever went wrong, the next connection finds its way back.
        b.iface->ClearFaults();
        uwieg::ConnectReader(b.dev);
        EXPECT_EQ(b.dev.identity().typeNumber(), 43);
    }
}

TEST(OnSimulator, StrayFramesBeforeTheAnswerAreSkipped) {
    using K = sim::FaultKind;
    for (const sim::Fault& fault :
         {sim::Fault{K::ReportBefore, 'O'}, sim::Fault{K::StaleBefore, 'T', 'M'},
          sim::Fault{K::InvalidFlood, 'T', 'M'}}) {
        Bench b;
        b.iface->InjectFault(fault);
        uwieg::ConnectReader(b.dev);
        EXPECT_EQ(b.dev.identity().typeNumber(), 51);
    }
}

TEST(OnSimulator, ConfigurationReadDecodedEncodedAndWritten) {
    Bench b;
    b.iface->reader().config = {2, 0xC1, 300 % 256, 0xFF, 0x17, 0x03, 0xFF, 0x99};
    uwieg::ConnectReader(b.dev);
    uwieg::ReaderConfig record{};
    b.dev.ReadConfig(record);
    EXPECT_EQ(record, b.iface->reader().config);

    uwieg::ConfigControls controls;
    ASSERT_TRUE(uwieg::DecodeConfig(record, controls));
    controls.ledTimText = "999";
    controls.icodeChecked = false;
    const uwieg::ReaderConfig edited = uwieg::EncodeConfig(controls);
    b.dev.WriteConfig(edited);
    EXPECT_EQ(b.iface->reader().config, (uwieg::ReaderConfig{2, 0xC1, 255, 0x7F, 0x05, 1, 1, 0}));

    // A refused record leaves the reader's as it was.
    b.iface->InjectFault({sim::FaultKind::ReaderStatus, 'T', 'C'});
    controls.ledTimText = "1";
    try {
        b.dev.WriteConfig(uwieg::EncodeConfig(controls));
        FAIL() << "refused record accepted";
    } catch (const uwieg::UWiegErr& err) {
        EXPECT_EQ(err.code, 1u);
    }
    EXPECT_EQ(b.iface->reader().config[2], 255);
}

TEST(OnSimulator, MonitorLinesFromPresentedTransmissions) {
    Bench b;
    b.dev.OpenChannel(0);
    b.iface->Present(sim::Transmission::Card(32, {0x12, 0x34, 0x56, 0x78}));
    b.iface->Present(sim::Transmission::Key(4, 7));
    b.iface->Present(
        sim::Transmission::CardWithParity(24, {0x12, 0x34, 0x56}, false, true, true, false));
    std::vector<std::string> lines;
    for (int tick = 0; tick < 5; ++tick) {
        std::array<std::uint8_t, 32> buffer{};
        const int n = b.dev.PollReport(buffer.data());
        if (n > 0) {
            lines.push_back(uwieg::FormatReport(buffer.data(), static_cast<std::size_t>(n)));
        }
        EXPECT_EQ(b.platform.pipeTimeout(0, 0x81), 200u);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "12,34,56,78   {karta: 32 bit}", "0111   {klawisz 7}",
                         "1_12,34,56_0   {karta: Even parity + 24 bit + Odd parity}"}));
}

TEST(OnSimulator, UnpluggedInterface) {
    Bench b;
    b.iface->InjectFault({sim::FaultKind::Unplug, 'O'});
    try {
        uwieg::ConnectReader(b.dev);
        FAIL() << "connected to an unplugged interface";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 12);
        EXPECT_EQ(err.command, 'O');
    }
    EXPECT_FALSE(b.dev.channelOpen);
    EXPECT_FALSE(uwieg::OpenInterface(b.list, b.dev, b.dialogs));
    EXPECT_EQ(b.dialogs.errors, std::vector<std::string>{uwieg::kNoInterfaceText});

    b.platform.Replug(0);
    ASSERT_TRUE(uwieg::OpenInterface(b.list, b.dev, b.dialogs));
    uwieg::ConnectReader(b.dev);
    EXPECT_TRUE(b.dev.channelOpen);
}

}  // namespace
}  // namespace uwieg_test
