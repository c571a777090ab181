// The in-process backend: listing, handles, descriptors, pipes, time-outs and unplugging, and
// the link layer working through it.
#include <gtest/gtest.h>

#include <memory>

#include "sim/platform.h"
#include "sim/wire.h"
#include "wusb/device.h"
#include "wusb/err.h"
#include "wusb/frame.h"

namespace sim {
namespace {

class SimPlatformTest : public ::testing::Test {
  protected:
    int PlugNew(SimDeviceInfo info = {}) {
        return platform.Plug(std::make_shared<SimInterface>(), std::move(info));
    }
    std::vector<std::string> Paths(const wusb::Guid& guid = kUsbWiegandClass) {
        std::vector<wusb::InterfacePath> found;
        EXPECT_TRUE(platform.ListInterfaces(guid, found));
        std::vector<std::string> paths;
        for (const auto& f : found) {
            paths.push_back(f.path);
        }
        return paths;
    }
    wusb::Handle OpenUsb(int n) {
        const wusb::Handle file = platform.OpenFile("sim:" + std::to_string(n));
        return file == wusb::kNoHandle ? file : platform.InitializeUsb(file);
    }
    bool Write(wusb::Handle usb, const Bytes& frame) {
        std::uint32_t moved = 0;
        return platform.WritePipe(usb, kBulkOutPipe, frame.data(),
                                  static_cast<std::uint32_t>(frame.size()), moved) &&
               moved == frame.size();
    }
    std::optional<Bytes> Read(wusb::Handle usb, std::uint32_t capacity = 1032) {
        Bytes buffer(capacity);
        std::uint32_t moved = 0;
        if (!platform.ReadPipe(usb, kBulkInPipe, buffer.data(), capacity, moved)) {
            return std::nullopt;
        }
        buffer.resize(moved);
        return buffer;
    }

    wusb::FakeClock clock;
    SimPlatform platform{clock};
};

TEST_F(SimPlatformTest, ListsTheInterfacesOfTheAskedClassInPlugOrder) {
    EXPECT_TRUE(Paths().empty());
    SimDeviceInfo other;
    other.interfaceClass = wusb::kLinkLayerGuid;
    const int a = PlugNew();
    const int b = PlugNew(other);
    const int c = PlugNew();
    EXPECT_EQ(Paths(), (std::vector<std::string>{"sim:0", "sim:2"}));
    EXPECT_EQ(Paths(wusb::kLinkLayerGuid), std::vector<std::string>{"sim:1"});

    platform.Unplug(a);
    EXPECT_EQ(Paths(), std::vector<std::string>{"sim:2"});
    platform.Replug(a);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"sim:2", "sim:0"}));
    EXPECT_TRUE(platform.IsPlugged(b) && platform.IsPlugged(c));
    EXPECT_EQ(platform.OpenFile("sim:7"), wusb::kNoHandle);
    EXPECT_EQ(platform.OpenFile("sim:0x"), wusb::kNoHandle);
    EXPECT_EQ(platform.OpenFile("usb:0"), wusb::kNoHandle);
}

TEST_F(SimPlatformTest, LinksThroughTheLinkLayerWithItsDescriptorsAndPipes) {
    SimDeviceInfo info;
    info.usb.vendorId = 0x1234;
    info.usb.productId = 0x5678;
    info.usb.serialNumber = "0001A2F3";
    const int n = PlugNew(info);
    wusb::WUsbDevTab table(platform, kUsbWiegandClass);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    EXPECT_EQ(dev.vendorId, 0x1234);
    EXPECT_EQ(dev.productId, 0x5678);
    EXPECT_EQ(dev.serialNumber, 0x0001A2F3u);
    EXPECT_EQ(dev.inPipe, kBulkInPipe);
    EXPECT_EQ(dev.outPipe, kBulkOutPipe);
    EXPECT_EQ(platform.pipeTimeout(n, kBulkInPipe), 200u);

    const std::uint8_t mode = 1;
    wusb::CommandAck(dev, 'O', 1, &mode);
    EXPECT_TRUE(platform.device(n)->channelOpen());
    EXPECT_EQ(platform.counts().writes, 1u);
    EXPECT_EQ(platform.counts().reads, 1u);
}

TEST_F(SimPlatformTest, AnEmptyReadWaitsOutThePipeTimeOutOnTheClock) {
    PlugNew();
    const wusb::Handle usb = OpenUsb(0);
    ASSERT_NE(usb, wusb::kNoHandle);
    EXPECT_FALSE(Read(usb));  // no time-out set yet: fails at once
    EXPECT_EQ(clock.slept(), 0u);

    ASSERT_TRUE(platform.SetPipeTimeout(usb, kBulkInPipe, 100));
    EXPECT_FALSE(Read(usb));
    EXPECT_EQ(clock.slept(), 100u);
    EXPECT_EQ(platform.counts().timedOutReads, 2u);

    ASSERT_TRUE(Write(usb, MakeFrame('O', {1})));
    EXPECT_EQ(Read(usb), MakeFrame(0xCF, {0}));
    EXPECT_EQ(clock.slept(), 100u);  // an answer waiting costs no time
    EXPECT_FALSE(platform.SetPipeTimeout(usb, 0x83, 100));
}

TEST_F(SimPlatformTest, ATransferLargerThanTheReadBufferIsLost) {
    PlugNew();
    const wusb::Handle usb = OpenUsb(0);
    ASSERT_TRUE(Write(usb, MakeFrame('O', {1})));
    ASSERT_TRUE(Write(usb, MakeFrame('T', {'M'})));
    ASSERT_TRUE(Read(usb));
    EXPECT_FALSE(Read(usb, 13));  // the 14-byte identify answer
    EXPECT_FALSE(Read(usb, 32));
}

TEST_F(SimPlatformTest, DescriptorsAndSettings) {
    SimDeviceInfo info;
    info.usb.serialNumber = "12AB";
    PlugNew(info);
    const wusb::Handle usb = OpenUsb(0);
    std::array<std::uint8_t, 64> buffer{};
    std::uint32_t moved = 0;
    ASSERT_TRUE(
        platform.GetDescriptor(usb, wusb::kDeviceDescriptor, 0, 0x0409, buffer.data(), 18, moved));
    EXPECT_EQ(moved, 18u);
    EXPECT_EQ(buffer[16], 3);  // iSerialNumber
    ASSERT_TRUE(
        platform.GetDescriptor(usb, wusb::kStringDescriptor, 3, 0x0409, buffer.data(), 254, moved));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + moved),
              (Bytes{10, 3, '1', 0, '2', 0, 'A', 0, 'B', 0}));
    ASSERT_TRUE(
        platform.GetDescriptor(usb, wusb::kStringDescriptor, 3, 0x0409, buffer.data(), 4, moved));
    EXPECT_EQ(moved, 4u);
    EXPECT_FALSE(
        platform.GetDescriptor(usb, wusb::kStringDescriptor, 9, 0x0409, buffer.data(), 254, moved));

    wusb::InterfaceDescriptor settings;
    ASSERT_TRUE(platform.QueryInterfaceSettings(usb, 0, settings));
    EXPECT_EQ(settings.bNumEndpoints, 2);
    EXPECT_FALSE(platform.QueryInterfaceSettings(usb, 1, settings));
    wusb::PipeInfo pipe;
    ASSERT_TRUE(platform.QueryPipe(usb, 0, 1, pipe));
    EXPECT_EQ(pipe.type, wusb::PipeType::Bulk);
    EXPECT_EQ(pipe.pipeId, kBulkOutPipe);
    EXPECT_FALSE(platform.QueryPipe(usb, 0, 2, pipe));
}

TEST_F(SimPlatformTest, UnpluggedHandlesFailEveryCallAndStayDeadAfterReplug) {
    const int n = PlugNew();
    const wusb::Handle file = platform.OpenFile("sim:0");
    const wusb::Handle usb = platform.InitializeUsb(file);
    ASSERT_TRUE(platform.SetPipeTimeout(usb, kBulkInPipe, 200));
    ASSERT_TRUE(Write(usb, MakeFrame('O', {0})));
    platform.device(n)->Present(Transmission::Key(4, 3));

    platform.Unplug(n);
    std::array<std::uint8_t, 18> buffer{};
    std::uint32_t moved = 0;
    wusb::InterfaceDescriptor settings;
    wusb::PipeInfo pipe;
    EXPECT_FALSE(Write(usb, MakeFrame('o', {})));
    EXPECT_FALSE(Read(usb));
    EXPECT_FALSE(platform.GetDescriptor(usb, 1, 0, 0x0409, buffer.data(), 18, moved));
    EXPECT_FALSE(platform.QueryInterfaceSettings(usb, 0, settings));
    EXPECT_FALSE(platform.QueryPipe(usb, 0, 0, pipe));
    EXPECT_FALSE(platform.SetPipeTimeout(usb, kBulkInPipe, 200));
    EXPECT_EQ(platform.InitializeUsb(file), wusb::kNoHandle);
    EXPECT_EQ(platform.OpenFile("sim:0"), wusb::kNoHandle);
    EXPECT_EQ(clock.slept(), 0u);  // a vanished device fails at once

    platform.Replug(n);
    EXPECT_FALSE(Read(usb));
    EXPECT_FALSE(platform.device(n)->channelOpen());  // whatever it held is gone
    const wusb::Handle fresh = OpenUsb(n);
    ASSERT_NE(fresh, wusb::kNoHandle);
    ASSERT_TRUE(platform.SetPipeTimeout(fresh, kBulkInPipe, 200));
    EXPECT_FALSE(Read(fresh));
    EXPECT_EQ(clock.slept(), 200u);
}

TEST_F(SimPlatformTest, UnplugFaultTakesTheDeviceAwayWhenTheCommandArrives) {
    const int n = PlugNew();
    platform.device(n)->InjectFault({FaultKind::Unplug, 'T', 'c'});
    wusb::WUsbDevTab table(platform, kUsbWiegandClass);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    const std::uint8_t mode = 1;
    wusb::CommandAck(dev, 'O', 1, &mode);
    const std::uint8_t read = 'c';
    std::array<std::uint8_t, 9> answer{};
    EXPECT_EQ(wusb::Command(dev, 'T', 1, &read, 9, answer.data()), 0u);
    EXPECT_FALSE(platform.IsPlugged(n));
    EXPECT_EQ(table.Enumerate(), 0);
}

TEST_F(SimPlatformTest, DeniedAccessAndABusyInterfaceAreReportedPerPath) {
    SimDeviceInfo denied;
    denied.denyAccess = true;
    SimDeviceInfo held;
    held.heldElsewhere = true;
    PlugNew(denied);
    PlugNew(held);
    PlugNew();
    wusb::WUsbDevTab table(platform, kUsbWiegandClass);
    EXPECT_EQ(table.Enumerate(), 1);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::Permission);
    // A later opening of another interface leaves each reason with its own interface.
    EXPECT_NE(platform.OpenFile("sim:2"), wusb::kNoHandle);
    EXPECT_EQ(platform.LastOpenRefusal("sim:2"), wusb::OpenRefusal::None);
    EXPECT_EQ(platform.LastOpenRefusal("sim:0"), wusb::OpenRefusal::Permission);
    EXPECT_EQ(platform.LastOpenRefusal("sim:1"), wusb::OpenRefusal::InUse);
    EXPECT_EQ(table.Open({"sim:1", 0}), 0);
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::InUse);
}

}  // namespace
}  // namespace sim
