#include <chrono>

#include "usb_bench.h"
#include "wusb/guid.h"

namespace usbtest {
namespace {

const wusb::Guid kInterfaceClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

std::vector<std::string> Paths(wusb::Platform& platform) {
    std::vector<wusb::InterfacePath> listed;
    EXPECT_TRUE(platform.ListInterfaces(kInterfaceClass, listed));
    std::vector<std::string> paths;
    for (const auto& p : listed) {
        paths.push_back(p.path);
    }
    return paths;
}

using PlatformOnEmulatedUsb = UsbBench;

TEST_F(PlatformOnEmulatedUsb, ListsDevicesAnnouncingTheClass) {
    ScriptedFirmware a, b;
    AddDevice("2", {}, b);
    AddDevice("1", {}, a);
    EXPECT_EQ(Paths(platform()), (std::vector<std::string>{"usb:1-1", "usb:1-2"}));
}

TEST_F(PlatformOnEmulatedUsb, EmptyReadEndsAtThePipeTimeout) {
    ScriptedFirmware firmware;
    AddDevice("1", {}, firmware);
    auto& p = platform();
    std::vector<wusb::InterfacePath> listed;
    ASSERT_TRUE(p.ListInterfaces(kInterfaceClass, listed));
    ASSERT_EQ(listed.size(), 1u);
    const auto file = p.OpenFile(listed[0].path);
    ASSERT_NE(file, wusb::kNoHandle);
    const auto usb = p.InitializeUsb(file);
    ASSERT_NE(usb, wusb::kNoHandle);
    ASSERT_TRUE(p.SetPipeTimeout(usb, kInEndpoint, 200));
    std::uint8_t buffer[1032];
    std::uint32_t got = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(p.ReadPipe(usb, kInEndpoint, buffer, sizeof buffer, got));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    EXPECT_GE(ms, 195);
    EXPECT_LE(ms, 400);
    std::printf("empty reaps %d, ms %ld\n", devices_[0]->emptyReaps(), static_cast<long>(ms));
    p.FreeUsb(usb);
    p.CloseFile(file);
}

}  // namespace
}  // namespace usbtest
