// The link layer's device table and link object running on the WinUSB backend: over the
// scripted call table, and on the system's own SetupAPI and WinUSB.
#include <gtest/gtest.h>

#include "tests/windows/fake_win_api.h"
#include "wusb/device.h"
#include "wusb/err.h"
#include "wusb/platform/native.h"
#include "wusb/platform/windows/winusb_platform.h"

namespace wusb::windows {
namespace {

using testing::FakeInterface;
using testing::FakeWinApi;
using testing::FakeWinState;
using testing::FakeWinUsbDevice;
using testing::InstallFakeWinState;

const Guid kClass{0x8A1C2E44, 0x1B2D, 0x4C3E, {0x9F, 0x80, 0x71, 0x62, 0x53, 0x44, 0x35, 0x26}};

FakeWinUsbDevice Interface(std::string path) {
    FakeWinUsbDevice device{.path = std::move(path)};
    device.deviceDescriptor = {18,   1,    0x00, 0x02, 0, 0, 0, 64, 0x34,
                               0x12, 0x78, 0x56, 0,    1, 1, 2, 3,  1};
    device.serialDescriptor = {18, 3,   '0', 0,   '0', 0,   '0', 0,   '1',
                               0,  'A', 0,   '2', 0,   'F', 0,   '3', 0};
    device.interfaceDescriptor = {9, 4, 0, 0, 3, 0xFF, 0, 0, 0};
    device.pipes = {{UsbdPipeTypeBulk, 0x81, 64, 0},
                    {UsbdPipeTypeInterrupt, 0x83, 8, 10},
                    {UsbdPipeTypeBulk, 0x02, 64, 0}};
    return device;
}

class WindowsDeviceTableTest : public ::testing::Test {
  protected:
    // Lists the devices as present interfaces in the same order.
    void Present(std::vector<FakeWinUsbDevice> devices) {
        fake.interfaces.clear();
        DWORD instance = 100;
        for (const FakeWinUsbDevice& device : devices) {
            fake.interfaces.push_back(FakeInterface{device.path, instance++});
        }
        fake.devices = std::move(devices);
    }

    FakeWinState& fake = InstallFakeWinState();
    WinUsbPlatform platform{FakeWinApi()};
    WUsbDevTab table{platform, kClass};
};

TEST_F(WindowsDeviceTableTest, SkipsWhatCannotBeOpenedAndClosesWinUsbBeforeTheFile) {
    FakeWinUsbDevice cannotOpen = Interface("b");
    cannotOpen.openFails = true;
    FakeWinUsbDevice noWinUsb = Interface("c");
    noWinUsb.initializeFails = true;
    Present({Interface("a"), cannotOpen, noWinUsb, Interface("d")});

    ASSERT_EQ(table.Enumerate(), 2);
    EXPECT_EQ(table.entry(0).usbHandle, reinterpret_cast<Handle>(testing::FakeUsbHandle(1)));
    EXPECT_EQ(table.entry(1).fileHandle, reinterpret_cast<Handle>(testing::FakeFileHandle(4)));
    EXPECT_EQ(table.entry(1).devInst, 103u);
    EXPECT_EQ(table.entry(2).fileHandle, kNoHandle);

    table.CloseAll();
    EXPECT_EQ(fake.log,
              (std::vector<std::string>{"open 1", "initialize 1", "open 3", "close 3", "open 4",
                                        "initialize 4", "free 1", "close 1", "free 4", "close 4"}));
}

TEST_F(WindowsDeviceTableTest, AnInterfaceHeldByAnotherProgramIsReportedAsInUse) {
    FakeWinUsbDevice held = Interface("a");
    held.openFails = true;
    held.openError = ERROR_ACCESS_DENIED;
    FakeWinUsbDevice gone = Interface("b");
    gone.openFails = true;
    Present({gone, held});
    EXPECT_EQ(table.Enumerate(), 0);
    EXPECT_EQ(table.refusal(), OpenRefusal::InUse);
    Present({gone});
    EXPECT_EQ(table.Enumerate(), 0);
    EXPECT_EQ(table.refusal(), OpenRefusal::None);
}

TEST_F(WindowsDeviceTableTest, LinkFindsThePipesAndSetsTheInTimeOut) {
    Present({Interface("a")});
    ASSERT_EQ(table.Enumerate(), 1);

    WUsbDev dev;
    dev.Link(table, 0);
    EXPECT_EQ(dev.vendorId, 0x1234);
    EXPECT_EQ(dev.productId, 0x5678);
    EXPECT_EQ(dev.serialNumber, 0x0001A2F3u);
    EXPECT_EQ(dev.inPipe, 0x81);
    EXPECT_EQ(dev.outPipe, 0x02);
    EXPECT_EQ(fake.policyPipe, 0x81);
    EXPECT_EQ(fake.policyType, 3u);
    EXPECT_EQ(fake.policyValue, 200u);
    // Device descriptor first, then the serial-number string named by its byte 16.
    EXPECT_EQ(fake.getDescriptorTypes, (std::vector<std::uint8_t>{1, 3}));
    EXPECT_EQ(fake.getDescriptorIndexes, (std::vector<std::uint8_t>{0, 3}));
    EXPECT_EQ(fake.getDescriptorLanguages, (std::vector<USHORT>{0x0409, 0x0409}));

    // A stall left from before is cleared on both pipes.
    EXPECT_EQ(fake.resetPipes, (std::vector<UCHAR>{0x81, 0x02}));

    const std::uint8_t frame[] = {6, 0, 'O', 1, 0x12, 0x34};
    EXPECT_TRUE(dev.WriteRaw(sizeof frame, frame));
    EXPECT_EQ(fake.writePipeId, 0x02);
    // The OUT pipe got a time-out before its first write; the IN pipe keeps Link's.
    EXPECT_EQ(fake.timeoutPolicies,
              (std::vector<std::pair<UCHAR, ULONG>>{{0x81, 200}, {0x02, 5000}}));
    fake.toRead = {6, 0, 0xCF, 0, 0x55, 0x66};
    std::uint8_t in[1032];
    EXPECT_EQ(dev.ReadRaw(sizeof in, in), 6u);
    EXPECT_EQ(fake.readPipeId, 0x81);
}

// On the real system (Wine in the cross build) no device of an unused class is present.
TEST(WindowsSystemTest, AnUnusedClassListsNothingAndOpensNothing) {
    const std::unique_ptr<Platform> native = MakeNativePlatform();
    std::vector<InterfacePath> found;
    ASSERT_TRUE(native->ListInterfaces(kClass, found));
    EXPECT_TRUE(found.empty());

    WUsbDevTab table(*native, kClass);
    EXPECT_EQ(table.Enumerate(), 0);
    for (int i = 0; i < kMaxDevices; ++i) {
        EXPECT_EQ(table.entry(i).fileHandle, kNoHandle);
        EXPECT_EQ(table.entry(i).usbHandle, kNoHandle);
    }
    WUsbDev dev;
    try {
        dev.Link(table, 0);
        FAIL() << "Link succeeded on an empty table";
    } catch (const WUsbErr& err) {
        EXPECT_EQ(err.code, 0);
    }
}

TEST(WindowsSystemTest, AMissingDevicePathDoesNotOpen) {
    const std::unique_ptr<Platform> native = MakeNativePlatform();
    EXPECT_EQ(native->OpenFile("\\\\?\\usb#vid_0000&pid_0000#none#{8a1c2e44-1b2d-4c3e-9f80-"
                               "716253443526}"),
              kNoHandle);
    EXPECT_EQ(native->LastOpenRefusal("\\\\?\\usb#vid_0000&pid_0000#none#{8a1c2e44-1b2d-4c3e-9f80-"
                                      "716253443526}"),
              OpenRefusal::None);
}

// Wine's WinUSB functions are stubs that abort the process, so only the file calls run here.
TEST(WindowsSystemTest, AnExistingPathOpensAndClosesWithTheDeviceFlags) {
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameA(folder, "trv", 0, path), 0u);

    const std::unique_ptr<Platform> native = MakeNativePlatform();
    const Handle file = native->OpenFile(path);
    ASSERT_NE(file, kNoHandle);
    native->CloseFile(file);
    // Closed means deletable again.
    EXPECT_TRUE(DeleteFileA(path));
}

}  // namespace
}  // namespace wusb::windows
