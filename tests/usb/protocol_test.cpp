// The protocol layer end to end on the real libusb, with the simulated interface and reader as
// the emulated device's firmware.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim_firmware.h"
#include "usb_bench.h"
#include "uwieg/device.h"
#include "uwieg/err.h"
#include "uwieg/report.h"
#include "uwieg/session.h"
#include "wusb/clock.h"
#include "wusb/err.h"

namespace usbtest {
namespace {

class RecordedDialogs final : public uwieg::Dialogs {
  public:
    void ShowError(const std::string& text) override { errors.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void ShowMessage(const std::string&) override {}
    std::vector<std::string> errors;
};

class ProtocolOnEmulatedUsb : public UsbBench {
  protected:
    // A linked interface device with the reader connected.
    void Connect() {
        ASSERT_TRUE(uwieg::OpenInterface(table(), dev_, dialogs_));
        uwieg::ConnectReader(dev_);
    }
    wusb::WUsbDevTab& table() {
        if (!table_)
            table_ = std::make_unique<wusb::WUsbDevTab>(platform(), uwieg::kInterfaceGuid);
        return *table_;
    }
    void TearDown() override {
        table_.reset();
        UsbBench::TearDown();
    }

    wusb::SystemClock clock_;
    uwieg::UWiegDev dev_{clock_};
    RecordedDialogs dialogs_;
    std::unique_ptr<wusb::WUsbDevTab> table_;
};

TEST_F(ProtocolOnEmulatedUsb, ReadsAndWritesTheReaderConfiguration) {
    SimFirmware firmware;
    firmware.sim.reader().typeNumber = 53;
    firmware.sim.reader().readerNumber = 1234;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    Connect();
    EXPECT_EQ(dev_.identity().typeNumber(), 53);
    EXPECT_EQ(dev_.identity().readerNumber(), 1234);

    uwieg::ReaderConfig record{};
    dev_.ReadConfig(record);
    uwieg::ReaderConfig expected;
    device.WithFirmware([&](Firmware&) { expected = firmware.sim.reader().config; });
    EXPECT_EQ(record, expected);

    record[2] = 9;
    dev_.WriteConfig(record);
    dev_.CloseChannel();
    device.WithFirmware([&](Firmware&) {
        EXPECT_EQ(firmware.sim.reader().config[2], 9);
        EXPECT_FALSE(firmware.sim.channelOpen());
    });
    EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(ProtocolOnEmulatedUsb, PollsTransmissionReports) {
    SimFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    Connect();
    dev_.QuietClose(uwieg::kQuietPeriodMs);
    dev_.OpenChannel(0);

    std::uint8_t payload[32] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dev_.PollReport(payload), 0);
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    EXPECT_GE(idle, 95) << "an idle poll waits out its 100 ms time-out";
    EXPECT_LE(idle, 600);

    const auto card = sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x40});
    device.WithFirmware([&](Firmware&) { firmware.sim.Present(card); });
    const int length = dev_.PollReport(payload);
    ASSERT_EQ(length, static_cast<int>(card.payload.size()));
    EXPECT_EQ(std::vector<std::uint8_t>(payload, payload + length), card.payload);
}

TEST_F(ProtocolOnEmulatedUsb, NoInterfaceIsReportedToTheUser) {
    SimFirmware firmware;
    DeviceSpec other;
    other.interfaceGuid = "{00000000-0000-0000-0000-000000000001}";
    AddDevice("1", other, firmware);
    EXPECT_FALSE(uwieg::OpenInterface(table(), dev_, dialogs_));
    EXPECT_EQ(dialogs_.errors, std::vector<std::string>{uwieg::kNoInterfaceText});
}

TEST_F(ProtocolOnEmulatedUsb, InterfaceVanishingOnACommandFailsItAndRecoversAfterReplug) {
    SimFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    Connect();
    device.WithFirmware([&](Firmware&) {
        firmware.sim.InjectFault({sim::FaultKind::Unplug, 'O', 0, 0, 1, 16});
    });

    const auto start = std::chrono::steady_clock::now();
    try {
        uwieg::ConnectReader(dev_);
        ADD_FAILURE() << "ConnectReader went through on an unplugged interface";
    } catch (const wusb::WUsbErr& err) {
        EXPECT_EQ(err.code, 12);
        EXPECT_EQ(err.command, 'O');
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(device.plugged());

    device.Plug();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (table().Enumerate() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Connect();
    uwieg::ReaderConfig record{};
    dev_.ReadConfig(record);
    EXPECT_EQ(record[0], uwieg::kRecordMark);
}

}  // namespace
}  // namespace usbtest
