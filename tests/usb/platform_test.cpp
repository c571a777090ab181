// The libusb platform's own promises, through the real libusb on emulated devices: which
// devices it lists and in what order, and how its pipes behave.
#include <chrono>

#include "usb_bench.h"
#include "wusb/guid.h"

namespace usbtest {
namespace {

const wusb::Guid kInterfaceClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

using PlatformOnEmulatedUsb = UsbBench;

std::vector<std::string> Paths(wusb::Platform& platform) {
    std::vector<wusb::InterfacePath> listed;
    EXPECT_TRUE(platform.ListInterfaces(kInterfaceClass, listed));
    std::vector<std::string> paths;
    for (const auto& p : listed) {
        paths.push_back(p.path);
    }
    return paths;
}

struct Claimed {
    wusb::Handle file = wusb::kNoHandle;
    wusb::Handle usb = wusb::kNoHandle;
};

Claimed OpenOnly(wusb::Platform& platform) {
    std::vector<wusb::InterfacePath> listed;
    EXPECT_TRUE(platform.ListInterfaces(kInterfaceClass, listed));
    EXPECT_EQ(listed.size(), 1u);
    Claimed c;
    if (listed.size() != 1)
        return c;
    c.file = platform.OpenFile(listed[0].path);
    c.usb = c.file == wusb::kNoHandle ? wusb::kNoHandle : platform.InitializeUsb(c.file);
    return c;
}

long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

TEST_F(PlatformOnEmulatedUsb, ListsOnlyDevicesNamingTheClassInBusAndPortOrder) {
    ScriptedFirmware firmware;
    DeviceSpec otherClass;
    otherClass.interfaceGuid = "{42CE4F4D-ADC2-4F1C-9110-649710D65997}";
    DeviceSpec silent;
    silent.announce = Announce::Nothing;
    DeviceSpec lowerCaseOld;
    lowerCaseOld.announce = Announce::MsOs10;
    lowerCaseOld.interfaceGuid = "{42ce4f4d-adc2-4f1c-9110-649710d65996}";
    DeviceSpec unbraced;
    unbraced.interfaceGuid = "42CE4F4D-ADC2-4F1C-9110-649710D65996";

    // Plugged out of order, so that the listing has to sort.
    AddDevice("5", {}, firmware);
    AddDevice("2", otherClass, firmware);
    AddDevice("3", lowerCaseOld, firmware);
    AddDevice("1", silent, firmware);
    AddDevice("4", unbraced, firmware);
    AddDevice("10", {}, firmware);

    const std::vector<std::string> expected{"usb:1-3", "usb:1-5", "usb:1-10"};
    EXPECT_EQ(Paths(platform()), expected);
    EXPECT_EQ(Paths(platform()), expected) << "a second listing must give the same order";
}

TEST_F(PlatformOnEmulatedUsb, ListsNothingOnAnEmptyBus) {
    EXPECT_TRUE(Paths(platform()).empty());
}

TEST_F(PlatformOnEmulatedUsb, SendsNoRequestToDevicesWithoutAVendorInterface) {
    ScriptedFirmware firmware;
    DeviceSpec storageLike;
    storageLike.interfaceClass = 0x08;
    EmulatedDevice& device = AddDevice("1", storageLike, firmware);
    EXPECT_TRUE(Paths(platform()).empty());
    EXPECT_EQ(device.controlRequests(), 0);
}

TEST_F(PlatformOnEmulatedUsb, OpensADeviceOnceAndReadsItsDescriptors) {
    ScriptedFirmware firmware;
    AddDevice("1", {}, firmware);
    auto& p = platform();
    const Claimed c = OpenOnly(p);
    ASSERT_NE(c.usb, wusb::kNoHandle);
    EXPECT_EQ(p.InitializeUsb(c.file), wusb::kNoHandle) << "one USB session per opened device";

    std::uint8_t buffer[64] = {};
    std::uint32_t got = 0;
    ASSERT_TRUE(p.GetDescriptor(c.usb, 1, 0, 0x0409, buffer, 18, got));
    EXPECT_EQ(got, 18u);
    EXPECT_EQ(buffer[8] | (buffer[9] << 8), 0x1209);
    ASSERT_TRUE(p.GetDescriptor(c.usb, 3, kSerialIndex, 0x0409, buffer, 8, got));
    EXPECT_EQ(got, 8u) << "the caller's length bounds the transfer";
    EXPECT_FALSE(p.GetDescriptor(c.usb, 3, 9, 0x0409, buffer, sizeof buffer, got))
        << "a stalled request is a failure";

    wusb::InterfaceDescriptor interface;
    ASSERT_TRUE(p.QueryInterfaceSettings(c.usb, 0, interface));
    EXPECT_EQ(interface.bNumEndpoints, 2);
    EXPECT_EQ(interface.bInterfaceClass, 0xFF);
    wusb::PipeInfo pipe;
    ASSERT_TRUE(p.QueryPipe(c.usb, 0, 0, pipe));
    EXPECT_EQ(pipe.type, wusb::PipeType::Bulk);
    EXPECT_EQ(pipe.pipeId, kInEndpoint);
    ASSERT_TRUE(p.QueryPipe(c.usb, 0, 1, pipe));
    EXPECT_EQ(pipe.pipeId, kOutEndpoint);
    EXPECT_FALSE(p.QueryPipe(c.usb, 0, 2, pipe));
    EXPECT_FALSE(p.QueryInterfaceSettings(c.usb, 1, interface));
    EXPECT_FALSE(p.SetPipeTimeout(c.usb, 0x83, 200)) << "no such pipe";

    p.FreeUsb(c.usb);
    EXPECT_FALSE(p.GetDescriptor(c.usb, 1, 0, 0x0409, buffer, 18, got)) << "freed handle";
    p.CloseFile(c.file);
}

TEST_F(PlatformOnEmulatedUsb, EachPipeKeepsItsOwnTimeout) {
    ScriptedFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    auto& p = platform();
    const Claimed c = OpenOnly(p);
    ASSERT_NE(c.usb, wusb::kNoHandle);
    std::uint8_t buffer[1032];
    std::uint32_t got = 0;

    for (const std::uint32_t timeout : {200u, 100u}) {
        ASSERT_TRUE(p.SetPipeTimeout(c.usb, kInEndpoint, timeout));
        for (int read = 0; read < 2; ++read) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_FALSE(p.ReadPipe(c.usb, kInEndpoint, buffer, sizeof buffer, got));
            const long ms = MillisecondsSince(start);
            EXPECT_GE(ms, static_cast<long>(timeout) - 5) << timeout << " ms time-out";
            EXPECT_LE(ms, static_cast<long>(timeout) + 500) << timeout << " ms time-out";
            EXPECT_EQ(got, 0u);
        }
    }
    // The waits really wait: a handful of polls, not a busy loop.
    EXPECT_LT(device.emptyReaps(), 40);

    // A write is not held to the IN pipe's time-out, and the exchange still works after waits.
    const Bytes frame{6, 0, 'O', 1, 0xF5, 0x5C};
    ASSERT_TRUE(p.WritePipe(c.usb, kOutEndpoint, frame.data(), 6, got));
    EXPECT_EQ(got, 6u);
    device.WithFirmware([](Firmware& f) {
        static_cast<ScriptedFirmware&>(f).toSend.push_back({6, 0, 0xCF, 0, 0x55, 0x5C});
    });
    ASSERT_TRUE(p.ReadPipe(c.usb, kInEndpoint, buffer, sizeof buffer, got));
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{6, 0, 0xCF, 0, 0x55, 0x5C}));
    EXPECT_EQ(firmware.received, std::vector<Bytes>{frame});

    EXPECT_FALSE(p.ReadPipe(c.usb, kOutEndpoint, buffer, sizeof buffer, got)) << "wrong direction";
    EXPECT_FALSE(p.WritePipe(c.usb, kInEndpoint, frame.data(), 6, got)) << "wrong direction";
    p.FreeUsb(c.usb);
    p.CloseFile(c.file);
}

}  // namespace
}  // namespace usbtest
