// The link layer on the real libusb: the device table, Link, the pipe time-outs on the real
// clock, the one retried first read, and a device that goes away and comes back.
#include <chrono>
#include <thread>

#include "sim_firmware.h"
#include "usb_bench.h"
#include "uwieg/session.h"
#include "wusb/device.h"
#include "wusb/err.h"
#include "wusb/frame.h"

namespace usbtest {
namespace {

using LinkOnEmulatedUsb = UsbBench;

long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

// How long one empty ReadRaw takes, in milliseconds.
long TimedEmptyRead(wusb::WUsbDev& dev) {
    std::uint8_t buffer[wusb::kFrameCapacity];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u);
    return MillisecondsSince(start);
}

// libusb learns of plugging and unplugging from udev events on its own thread.
int EnumerateUntil(wusb::WUsbDevTab& table, int expected) {
    const auto start = std::chrono::steady_clock::now();
    int count = table.Enumerate();
    while (count != expected && MillisecondsSince(start) < 3000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        count = table.Enumerate();
    }
    return count;
}

TEST_F(LinkOnEmulatedUsb, EnumeratesZeroOneAndTwoInterfacesInAStableOrder) {
    SimFirmware first, second;
    DeviceSpec secondSpec;
    secondSpec.serial = "BEEF";
    secondSpec.announce = Announce::MsOs10;
    EmulatedDevice& late = AddDevice("2", secondSpec, second);
    late.Unplug();

    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    EXPECT_EQ(EnumerateUntil(table, 0), 0);
    wusb::WUsbDev dev;
    EXPECT_THROW(dev.Link(table, 0), wusb::WUsbErr);

    AddDevice("1", {}, first);
    ASSERT_EQ(EnumerateUntil(table, 1), 1);
    late.Plug();
    ASSERT_EQ(EnumerateUntil(table, 2), 2);

    // Slot order follows the port, not the order of plugging.
    dev.Link(table, 1);
    EXPECT_EQ(dev.serialNumber, 0xBEEFu);
    dev.Link(table, 0);
    EXPECT_EQ(dev.serialNumber, 0x0001A2F3u);
    EXPECT_EQ(table.Enumerate(), 2);
    dev.Link(table, 0);
    EXPECT_EQ(dev.serialNumber, 0x0001A2F3u);
}

TEST_F(LinkOnEmulatedUsb, LinkReadsIdentityAndPipes) {
    SimFirmware firmware;
    DeviceSpec spec;
    spec.vendorId = 0x1234;
    spec.productId = 0xABCD;
    AddDevice("1", spec, firmware);
    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    EXPECT_TRUE(dev.IsLinked());
    EXPECT_EQ(dev.vendorId, 0x1234);
    EXPECT_EQ(dev.productId, 0xABCD);
    EXPECT_EQ(dev.serialNumber, 0x0001A2F3u);
    EXPECT_EQ(dev.inPipe, kInEndpoint);
    EXPECT_EQ(dev.outPipe, kOutEndpoint);
}

TEST_F(LinkOnEmulatedUsb, ReadsEndAtThePipeTimeoutAndOnlyTheFirstIsRetried) {
    SimFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);

    // Upper bounds are loose so that a loaded machine does not fail the test; the transfer
    // counts tell the retry apart.
    const long first = TimedEmptyRead(dev);
    EXPECT_GE(first, 395) << "the first read after Link waits out two 200 ms time-outs";
    EXPECT_LE(first, 1000);
    EXPECT_EQ(device.inTransfers(), 2);
    const long second = TimedEmptyRead(dev);
    EXPECT_GE(second, 195);
    EXPECT_LE(second, 800);
    EXPECT_EQ(device.inTransfers(), 3) << "only the first read is repeated";
    dev.SetInPipeTimeout(100);
    const long shorter = TimedEmptyRead(dev);
    EXPECT_GE(shorter, 95);
    EXPECT_LE(shorter, 700);
    EXPECT_EQ(device.inTransfers(), 4);

    // After waiting, an exchange still goes through: 'o' is acknowledged with status 0.
    wusb::CommandAck(dev, 'o', 0, nullptr);
}

TEST_F(LinkOnEmulatedUsb, UnplugEndsAWaitingReadAndTheDeviceComesBack) {
    SimFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    dev.firstReadRetry = false;
    dev.SetInPipeTimeout(2000);

    std::thread unplug([&device] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        device.Unplug();
    });
    const long waited = TimedEmptyRead(dev);
    unplug.join();
    EXPECT_GE(waited, 90);
    EXPECT_LT(waited, 1000) << "the read must end with the device, not at its time-out";
    const std::uint8_t frame[] = {5, 0, 'o', 0x21, 0xED};
    EXPECT_FALSE(dev.WriteRaw(sizeof frame, frame));
    EXPECT_THROW(wusb::CommandAck(dev, 'o', 0, nullptr), wusb::WUsbErr);
    EXPECT_EQ(EnumerateUntil(table, 0), 0);

    device.Plug();
    ASSERT_EQ(EnumerateUntil(table, 1), 1);
    dev.Link(table, 0);
    wusb::CommandAck(dev, 'o', 0, nullptr);
}

}  // namespace
}  // namespace usbtest
