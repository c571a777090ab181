// Finding the interface and connecting the reader.
#include <gtest/gtest.h>

#include "linked_device.h"
#include "recording_dialogs.h"

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

TEST(OpenInterface, AnUnopenableInterfaceAddsItsHintUnderTheMessage) {
    const std::string kMessage = uwieg::kNoInterfaceText;
    for (const auto& [refusal, hint] :
         {std::pair{wusb::OpenRefusal::Permission, uwieg::kPermissionHint},
          std::pair{wusb::OpenRefusal::InUse, uwieg::kInUseHint}}) {
        FakeUsb usb;
        usb.refuseOpen = refusal;
        wusb::FakeClock clock;
        wusb::WUsbDevTab table{usb, uwieg::kInterfaceGuid};
        uwieg::UWiegDev dev{clock};
        RecordingDialogs dialogs;
        EXPECT_FALSE(uwieg::OpenInterface(table, dev, dialogs));
        EXPECT_EQ(dialogs.errors, std::vector<std::string>{kMessage + "\n" + hint});
        EXPECT_FALSE(dev.IsLinked());
    }
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

// Reader types, unknown types and faults on the way are covered on the simulator.
class Connect : public LinkedDevice {};

TEST_F(Connect, FirstConnectionWaitsOnlyAfterOpening) {
    usb.AcknowledgeAll(IdentityAnswer(53, 1, 1));
    uwieg::ConnectReader(dev);
    EXPECT_EQ(clock.slept(), 100u);
    EXPECT_EQ(usb.written, (std::vector<Bytes>{Frame('O', {1}), Frame('T', {'M'})}));
}

}  // namespace
}  // namespace uwieg_test
