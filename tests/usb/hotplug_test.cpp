// Hot-plug through the real libusb: its notifications of devices arriving after the start and
// leaving, on the emulated bus.
#include <chrono>

#include "sim_firmware.h"
#include "usb_bench.h"
#include "wusb/clock.h"
#include "wusb/platform/libusb/libusb_hotplug.h"
#include "wusb/platform/native.h"

namespace usbtest {
namespace {

const wusb::Guid kInterfaceClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

using Kind = wusb::HotplugEvent::Kind;
using Events = std::vector<wusb::HotplugEvent>;
using HotplugOnEmulatedUsb = UsbBench;

TEST_F(HotplugOnEmulatedUsb, ReportsDevicesPluggedAfterTheStartAndUnplugged) {
    SimFirmware present;
    SimFirmware later;
    AddDevice("1", {}, present);
    wusb::SystemClock clock;
    auto hotplug = wusb::MakeNativeHotplug(platform(), kInterfaceClass, clock);
    auto* notified = dynamic_cast<wusb::libusb::LibusbHotplug*>(hotplug.get());
    ASSERT_NE(notified, nullptr);
    EXPECT_TRUE(notified->notified()) << "libusb with udev offers hot-plug notifications";
    EXPECT_EQ(hotplug->Wait(0), (Events{{Kind::Arrived, "usb:1-1"}}));

    // A class device without the announcement comes and goes unseen.
    DeviceSpec silent;
    silent.announce = Announce::Nothing;
    ScriptedFirmware other;
    AddDevice("3", silent, other);
    EmulatedDevice& plugged = AddDevice("2", {}, later);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(hotplug->Wait(5000), (Events{{Kind::Arrived, "usb:1-2"}}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    plugged.Unplug();
    EXPECT_EQ(hotplug->Wait(5000), (Events{{Kind::Removed, "usb:1-2"}}));
    plugged.Plug();
    EXPECT_EQ(hotplug->Wait(5000), (Events{{Kind::Arrived, "usb:1-2"}}));
    hotplug.reset();  // its event thread ends before libusb does
}

}  // namespace
}  // namespace usbtest
