// The flows every program runs: choosing the interface, the reader road with its outcomes, the
// verified write and the test-channel poll, on the simulator (and a scripted device where the
// simulator cannot misbehave the way a case needs).
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fake_usb.h"
#include "recording_dialogs.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "sim/transmission.h"
#include "tests/wusb/forwarding_platform.h"
#include "uwieg/reader_flow.h"
#include "uwieg/report.h"
#include "uwieg/session.h"
#include "uwieg/test_channel.h"
#include "uwieg/upgrade.h"
#include "uwieg/verified_write.h"
#include "wusb/err.h"

namespace uwieg_test {
namespace {

// Fails the pipe query of every interface whose path is listed, so Link raises on it.
class BrokenPipes final : public wusb::testing::ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;
    std::set<std::string> broken;

    wusb::Handle OpenFile(const std::string& path) override {
        const wusb::Handle file = ForwardingPlatform::OpenFile(path);
        if (broken.count(path) != 0) {
            brokenFiles_.insert(file);
        }
        return file;
    }
    wusb::Handle InitializeUsb(wusb::Handle file) override {
        const wusb::Handle usb = ForwardingPlatform::InitializeUsb(file);
        if (brokenFiles_.count(file) != 0) {
            brokenUsb_.insert(usb);
        }
        return usb;
    }
    bool QueryPipe(wusb::Handle usb, std::uint8_t alternate, std::uint8_t index,
                   wusb::PipeInfo& out) override {
        return brokenUsb_.count(usb) == 0 &&
               ForwardingPlatform::QueryPipe(usb, alternate, index, out);
    }

  private:
    std::set<wusb::Handle> brokenFiles_;
    std::set<wusb::Handle> brokenUsb_;
};

// Three simulated interfaces with their own serial numbers, on a fake clock.
struct Bench {
    explicit Bench(int count = 3) {
        for (int i = 0; i < count; ++i) {
            ifaces.push_back(std::make_shared<sim::SimInterface>());
            sim::SimDeviceInfo info;
            info.usb.serialNumber = serials[static_cast<std::size_t>(i)];
            platform.Plug(ifaces.back(), info);
        }
    }

    std::string Received(int n) const {
        std::string text;
        for (const auto& r : ifaces[static_cast<std::size_t>(n)]->received()) {
            text += static_cast<char>(r.command);
            if (r.command == 'T' && !r.payload.empty()) {
                text += static_cast<char>(r.payload[0]);
            }
            text += ' ';
        }
        return text;
    }

    const std::vector<std::string> serials{"0001A2F3", "0000BEEF", "12345678"};
    wusb::FakeClock clock;
    sim::SimPlatform platform{clock};
    BrokenPipes broken{platform};
    std::vector<std::shared_ptr<sim::SimInterface>> ifaces;
    wusb::WUsbDevTab list{broken, uwieg::kInterfaceGuid};
    uwieg::UWiegDev dev{clock};
    RecordingDialogs dialogs;
};

TEST(InterfaceChoice, ByIndexAndBySerial) {
    Bench b;
    ASSERT_TRUE(uwieg::OpenInterface(b.list, b.dev, b.dialogs, uwieg::InterfaceChoice::AtIndex(2)));
    EXPECT_EQ(b.dev.serialNumber, 0x12345678u);
    ASSERT_TRUE(
        uwieg::OpenInterface(b.list, b.dev, b.dialogs, uwieg::InterfaceChoice::WithSerial(0xBEEF)));
    EXPECT_EQ(b.dev.serialNumber, 0xBEEFu);
    EXPECT_EQ(uwieg::SerialNumberText(0xBEEF), "0000BEEF");
    EXPECT_TRUE(b.dialogs.errors.empty());

    EXPECT_FALSE(
        uwieg::OpenInterface(b.list, b.dev, b.dialogs, uwieg::InterfaceChoice::AtIndex(3)));
    EXPECT_FALSE(uwieg::OpenInterface(b.list, b.dev, b.dialogs,
                                      uwieg::InterfaceChoice::WithSerial(0x0001A2F4)));
    EXPECT_EQ(b.dialogs.errors,
              (std::vector<std::string>{
                  "Nie znaleziono interface'u USB-Wiegand nr 3 (znaleziono: 3).",
                  "Nie znaleziono interface'u USB-Wiegand o numerze seryjnym 0001A2F4."}));
}

TEST(InterfaceChoice, BySerialSkipsAnInterfaceThatCannotBeLinkedUnlessNoneMatches) {
    Bench b;
    b.broken.broken = {"sim:0"};
    ASSERT_TRUE(uwieg::OpenInterface(b.list, b.dev, b.dialogs,
                                     uwieg::InterfaceChoice::WithSerial(0x12345678)));
    EXPECT_EQ(b.dev.serialNumber, 0x12345678u);
    // The broken one may be the interface asked for: its failure is what the user learns.
    EXPECT_THROW(uwieg::OpenInterface(b.list, b.dev, b.dialogs,
                                      uwieg::InterfaceChoice::WithSerial(0x0001A2F3)),
                 wusb::WUsbErr);
    EXPECT_TRUE(b.dialogs.errors.empty());
}

TEST(ReaderFlow, OutcomesAndWhatCrossesTheWire) {
    Bench b(1);
    const auto first = uwieg::InterfaceChoice::AtIndex(0);
    int actions = 0;
    const auto count = [&] { ++actions; };
    EXPECT_EQ(uwieg::RunReaderFlow(b.list, b.dev, b.dialogs, first, count),
              uwieg::FlowOutcome::Done);
    EXPECT_EQ(b.Received(0), "O TM o ");
    EXPECT_FALSE(b.ifaces[0]->channelOpen());

    // A protocol failure in the action: shown, the channel left open, no close sent.
    b.ifaces[0]->ClearReceived();
    b.clock.Advance(1000);
    b.ifaces[0]->InjectFault({sim::FaultKind::NoAnswer, 'T', 'c'});
    EXPECT_EQ(uwieg::RunReaderFlow(b.list, b.dev, b.dialogs, first,
                                   [&] {
                                       uwieg::ReaderConfig record{};
                                       b.dev.ReadConfig(record);
                                       count();
                                   }),
              uwieg::FlowOutcome::Failed);
    EXPECT_EQ(b.Received(0), "O TM Tc ");
    EXPECT_TRUE(b.ifaces[0]->channelOpen());

    // An unknown reader type: the action never runs.
    b.ifaces[0]->reader().typeNumber = 42;
    EXPECT_EQ(uwieg::RunReaderFlow(b.list, b.dev, b.dialogs, first, count),
              uwieg::FlowOutcome::Failed);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(b.dialogs.errors,
              (std::vector<std::string>{"Błąd komunikacji z interfacem USB-Wiegand.",
                                        "Nie znany typ czytnika."}));

    b.platform.Unplug(0);
    EXPECT_EQ(uwieg::RunReaderFlow(b.list, b.dev, b.dialogs, first, count),
              uwieg::FlowOutcome::NoInterface);
    EXPECT_EQ(b.dialogs.errors.back(), uwieg::kNoInterfaceText);
    EXPECT_EQ(actions, 1);
}

TEST(VerifiedWrite, TheReaderKeepsWhatWasWritten) {
    Bench b(1);
    const uwieg::ReaderConfig record{2, 0x81, 0xFF, 0x7F, 0xE5, 1, 3, 0};
    uwieg::WriteCheck check;
    ASSERT_EQ(uwieg::RunReaderFlow(b.list, b.dev, b.dialogs, {},
                                   [&] { check = uwieg::WriteVerified(b.dev, record); }),
              uwieg::FlowOutcome::Done);
    EXPECT_TRUE(check.Matches());
    EXPECT_EQ(check.readBack, record);
    EXPECT_EQ(b.ifaces[0]->reader().config, record);
    EXPECT_EQ(b.Received(0), "O TM TC Tc o ");
}

// A reader that acknowledges the write but keeps another record.
TEST(VerifiedWrite, AnyDifferingByteIsAMismatchShowingBothRecords) {
    for (std::size_t differing = 0; differing < 8; ++differing) {
        SCOPED_TRACE(differing);
        FakeUsb usb;
        wusb::FakeClock clock;
        wusb::WUsbDevTab table{usb, uwieg::kInterfaceGuid};
        uwieg::UWiegDev dev{clock};
        ASSERT_EQ(table.Enumerate(), 1);
        dev.Link(table, 0);
        const uwieg::ReaderConfig record{2, 0xC0, 5, 3, 0x45, 0, 1, 0};
        uwieg::ReaderConfig kept = record;
        kept[differing] ^= 0x10;
        usb.onWrite = [&](const Bytes& out) {
            Bytes answer{0};
            if (out.at(3) == 'c') {
                answer.insert(answer.end(), kept.begin(), kept.end());
            } else {
                answer.push_back(0);  // the write's status: done
            }
            usb.in.push_back(Frame(0xD4, answer));
        };
        const uwieg::WriteCheck check = uwieg::WriteVerified(dev, record);
        EXPECT_FALSE(check.Matches());
        EXPECT_EQ(check.readBack, kept);
        if (differing == 4) {
            EXPECT_EQ(uwieg::MismatchText(check),
                      "Konfiguracja odczytana po zapisie różni się od zapisanej.\n"
                      "  zapisano:  02 C0 05 03 45 00 01 00\n"
                      "  odczytano: 02 C0 05 03 55 00 01 00");
        }
    }
}

TEST(TestChannel, OpensInModeZeroAndTurnsEachReportIntoItsLine) {
    Bench b(1);
    ASSERT_TRUE(uwieg::OpenTestChannel(b.list, b.dev, b.dialogs));
    EXPECT_EQ(b.ifaces[0]->channelMode(), 0);
    EXPECT_EQ(uwieg::PollTestReport(b.dev), std::nullopt);

    const sim::Transmission card = sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x40});
    b.ifaces[0]->Present(card);
    const std::optional<uwieg::TestReport> report = uwieg::PollTestReport(b.dev);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->payload, card.payload);
    EXPECT_EQ(report->line, uwieg::FormatReport(card.payload.data(), card.payload.size()));
    EXPECT_EQ(uwieg::PollTestReport(b.dev), std::nullopt);
}

TEST(ReportHead, KindAndBitCountAtTheirLimits) {
    EXPECT_EQ(uwieg::ReadReportHead(0x00).kind, 0);
    EXPECT_EQ(uwieg::ReadReportHead(0x00).bits, 4);
    EXPECT_EQ(uwieg::ReadReportHead(0x7F).kind, 1);
    EXPECT_EQ(uwieg::ReadReportHead(0x7F).bits, 67);
    EXPECT_EQ(uwieg::ReadReportHead(0xC0).kind, 3);
}

TEST(UpgradeAvailable, OnlyWhenTheBuiltInImageIsNewer) {
    uwieg::ReaderIdentity reader{static_cast<std::uint32_t>((51 + 80) % 100) << 16, 1, 0};
    EXPECT_TRUE(uwieg::UpgradeAvailable(reader));
    const std::uint16_t builtIn = uwieg::BuiltInImage(51)->version();
    reader.firmwareVersion = builtIn;
    EXPECT_FALSE(uwieg::UpgradeAvailable(reader));
    reader.firmwareVersion = static_cast<std::uint16_t>(builtIn - 1);
    EXPECT_TRUE(uwieg::UpgradeAvailable(reader));
    reader.identityWord = static_cast<std::uint32_t>((42 + 80) % 100) << 16;  // no image
    reader.firmwareVersion = 0;
    EXPECT_FALSE(uwieg::UpgradeAvailable(reader));
}

}  // namespace
}  // namespace uwieg_test
