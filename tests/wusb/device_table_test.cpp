#include <gtest/gtest.h>

#include <string>

#include "tests/wusb/script_platform.h"
#include "wusb/device.h"
#include "wusb/err.h"

namespace wusb {
namespace {

using testing::ScriptPlatform;

std::int32_t LinkError(WUsbDev& dev, WUsbDevTab& table, int index) {
    try {
        dev.Link(table, index);
    } catch (const WUsbErr& err) {
        EXPECT_EQ(err.command, 0);
        return err.code;
    }
    return -1;
}

class DeviceTable : public ::testing::Test {
  protected:
    ScriptPlatform platform;
    WUsbDevTab table{platform, kLinkLayerGuid};

    // The script device behind a table slot.
    int DeviceAt(int slot) { return platform.DeviceOfUsb(table.entry(slot).usbHandle); }
};

TEST_F(DeviceTable, NewAndEmptyTablesHoldNoHandles) {
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(table.Enumerate(), 0);
    EXPECT_EQ(platform.listedClass, kLinkLayerGuid);
    for (int i = 0; i < kMaxDevices; ++i) {
        EXPECT_EQ(table.entry(i).fileHandle, kNoHandle);
        EXPECT_EQ(table.entry(i).usbHandle, kNoHandle);
    }
    WUsbDev dev;
    EXPECT_EQ(LinkError(dev, table, 0), 0);
    EXPECT_FALSE(dev.IsLinked());
}

TEST_F(DeviceTable, AtMostEightAreOpenedAndTheRestNotTouched) {
    for (int i = 0; i < 10; ++i) {
        platform.AddDevice();
    }
    EXPECT_EQ(table.Enumerate(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(DeviceAt(i), i);
        EXPECT_EQ(table.entry(i).devInst, platform.device(static_cast<std::size_t>(i)).devInst);
        EXPECT_EQ(table.entry(i).path, platform.device(static_cast<std::size_t>(i)).path);
    }
    EXPECT_EQ(platform.openFiles(), 8);
    for (const std::string& line : platform.log) {
        EXPECT_EQ(line.find("dev8"), std::string::npos);
        EXPECT_EQ(line.find("dev9"), std::string::npos);
    }
}

TEST_F(DeviceTable, UnopenableInterfacesAreSkippedAndLaterOnesMoveUp) {
    platform.AddDevice();
    platform.AddDevice().openFails = true;
    platform.AddDevice().initializeFails = true;
    platform.AddDevice().path = "";
    platform.AddDevice();
    EXPECT_EQ(table.Enumerate(), 2);
    EXPECT_EQ(DeviceAt(0), 0);
    EXPECT_EQ(DeviceAt(1), 4);
    EXPECT_EQ(table.entry(2).fileHandle, kNoHandle);
    // The file opened for the device that could not be initialised was closed again.
    EXPECT_EQ(platform.openFiles(), 2);
    EXPECT_EQ(platform.openUsb(), 2);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::None);
}

TEST_F(DeviceTable, OpeningOneListedInterfaceHoldsOnlyThatOne) {
    platform.AddDevice();
    platform.AddDevice();
    platform.AddDevice().openRefused = wusb::OpenRefusal::Permission;
    std::vector<InterfacePath> listed;
    ASSERT_TRUE(platform.ListInterfaces(kLinkLayerGuid, listed));
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(table.Enumerate(), 2);
    EXPECT_EQ(table.Open(listed[1]), 1);
    EXPECT_EQ(DeviceAt(0), 1);
    EXPECT_EQ(table.entry(0).path, listed[1].path);
    EXPECT_EQ(platform.openFiles(), 1) << "what the enumeration opened was closed first";
    EXPECT_EQ(table.Open(listed[2]), 0);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::Permission);
    EXPECT_EQ(platform.openFiles(), 0);
    EXPECT_EQ(table.Open({"", 0}), 0);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::None);
}

TEST_F(DeviceTable, TheFirstRefusalOfAnEnumerationIsReported) {
    platform.AddDevice().openFails = true;
    platform.AddDevice().openRefused = wusb::OpenRefusal::Permission;
    platform.AddDevice().openRefused = wusb::OpenRefusal::InUse;
    platform.AddDevice();
    EXPECT_EQ(table.Enumerate(), 1);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::Permission)
        << "a plain failure before it and another refusal after it do not hide it";
    // A later enumeration without the refused devices clears it.
    platform.device(1).openRefused = wusb::OpenRefusal::None;
    platform.device(1).openFails = true;
    platform.device(2).openRefused = wusb::OpenRefusal::None;
    EXPECT_EQ(table.Enumerate(), 2);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::None);
}

TEST_F(DeviceTable, FailedListingGivesNothing) {
    platform.AddDevice();
    EXPECT_EQ(table.Enumerate(), 1);
    platform.listFails = true;
    EXPECT_EQ(table.Enumerate(), 0);
    EXPECT_EQ(platform.openFiles(), 0);
}

TEST_F(DeviceTable, CloseAllFreesUsbBeforeFileSlotBySlot) {
    platform.AddDevice();
    platform.AddDevice();
    table.Enumerate();
    const auto file0 = std::to_string(table.entry(0).fileHandle);
    const auto usb0 = std::to_string(table.entry(0).usbHandle);
    const auto file1 = std::to_string(table.entry(1).fileHandle);
    const auto usb1 = std::to_string(table.entry(1).usbHandle);
    platform.log.clear();
    table.CloseAll();
    const std::vector<std::string> expected{"free " + usb0, "close " + file0, "free " + usb1,
                                            "close " + file1};
    EXPECT_EQ(platform.log, expected);
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(table.entry(0).usbHandle, kNoHandle);
    EXPECT_EQ(table.entry(1).path, "");
    EXPECT_EQ(platform.staleHandleUses(), 0);
}

TEST_F(DeviceTable, ReenumerationReleasesFirstAndRebindsLinkedSlot) {
    platform.AddDevice();
    platform.AddDevice();
    table.Enumerate();
    WUsbDev dev;
    dev.Link(table, 0);
    ASSERT_TRUE(dev.IsLinked());

    platform.device(0).openFails = true;
    platform.log.clear();
    EXPECT_EQ(table.Enumerate(), 1);
    EXPECT_EQ(platform.log.front().rfind("free ", 0), 0u);
    EXPECT_EQ(platform.openFiles(), 1);
    // Slot 0 now holds the second device and the link object follows the slot.
    EXPECT_TRUE(dev.IsLinked());
    platform.device(1).QueueIn({1, 2, 3});
    std::uint8_t buffer[8];
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 3u);
    EXPECT_EQ(platform.staleHandleUses(), 0);
}

TEST(DeviceTableLifetime, DestructionClosesEveryHandle) {
    ScriptPlatform platform;
    platform.AddDevice();
    platform.AddDevice();
    {
        WUsbDevTab table(platform, kLinkLayerGuid);
        EXPECT_EQ(table.Enumerate(), 2);
        EXPECT_EQ(platform.openFiles(), 2);
    }
    EXPECT_EQ(platform.openFiles(), 0);
    EXPECT_EQ(platform.openUsb(), 0);
    EXPECT_EQ(platform.staleHandleUses(), 0);
}

}  // namespace
}  // namespace wusb
