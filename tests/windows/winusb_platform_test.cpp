// What the WinUSB backend passes to SetupAPI, CreateFileA and WinUSB, and how it reads their
// answers, checked against a scripted call table.
#include "wusb/platform/windows/winusb_platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "tests/windows/fake_win_api.h"

namespace wusb::windows {
namespace {

using testing::FakeFileHandle;
using testing::FakeInterface;
using testing::FakeUsbHandle;
using testing::FakeWinApi;
using testing::FakeWinState;
using testing::FakeWinUsbDevice;
using testing::InstallFakeWinState;

const Guid kClass{0x8A1C2E44, 0x1B2D, 0x4C3E, {0x9F, 0x80, 0x71, 0x62, 0x53, 0x44, 0x35, 0x26}};

// The record sizes SetupAPI insists on for this process's width.
constexpr DWORD kDetailRecordSize = sizeof(void*) == 8 ? 8 : 5;
constexpr DWORD kInterfaceRecordSize = sizeof(void*) == 8 ? 32 : 28;
constexpr DWORD kDevInfoRecordSize = sizeof(void*) == 8 ? 32 : 28;

Handle AsHandle(void* native) {
    return reinterpret_cast<Handle>(native);
}

class WinUsbPlatformTest : public ::testing::Test {
  protected:
    FakeWinState& fake = InstallFakeWinState();
    WinUsbPlatform platform{FakeWinApi()};
};

TEST_F(WinUsbPlatformTest, ListsPresentInterfacesOfTheClassInOrderWithTheirInstances) {
    fake.interfaces = {{"\\\\?\\usb#vid_1234&pid_0001#a#{guid}", 0x11},
                       {"\\\\?\\usb#vid_1234&pid_0001#b#{guid}", 0x22}};
    std::vector<InterfacePath> found{{"left over", 9}};
    ASSERT_TRUE(platform.ListInterfaces(kClass, found));

    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, fake.interfaces[0].path);
    EXPECT_EQ(found[0].devInst, 0x11u);
    EXPECT_EQ(found[1].path, fake.interfaces[1].path);
    EXPECT_EQ(found[1].devInst, 0x22u);

    EXPECT_EQ(fake.classGuid.Data1, 0x8A1C2E44u);
    EXPECT_EQ(fake.classGuid.Data2, 0x1B2D);
    EXPECT_EQ(fake.classGuid.Data3, 0x4C3E);
    EXPECT_EQ(std::memcmp(fake.classGuid.Data4, kClass.data4.data(), 8), 0);
    EXPECT_EQ(fake.enumerator, nullptr);
    EXPECT_EQ(fake.window, nullptr);
    EXPECT_EQ(fake.flags, 0x12u);
    // Two members and the failed look-up at index 2 that ends the list.
    EXPECT_EQ(fake.enumRecordSizes, std::vector<DWORD>(3, kInterfaceRecordSize));
    EXPECT_EQ(fake.sizeQueriesWithBuffer, 0);
    EXPECT_EQ(fake.detailRecordSizes, std::vector<DWORD>(2, kDetailRecordSize));
    EXPECT_EQ(fake.devInfoRecordSizes, std::vector<DWORD>(2, kDevInfoRecordSize));
    // The buffer is exactly as large as the size query asked for.
    EXPECT_EQ(fake.detailBufferSizes[0], 4 + fake.interfaces[0].path.size() + 1);
    EXPECT_EQ(fake.destroyCount, 1);
    EXPECT_FALSE(fake.destroyedOtherSet);
}

TEST_F(WinUsbPlatformTest, NoSetOfTheClassIsAFailureWithNothingToDestroy) {
    fake.classSetFails = true;
    std::vector<InterfacePath> found;
    EXPECT_FALSE(platform.ListInterfaces(kClass, found));
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(fake.destroyCount, 0);
}

TEST_F(WinUsbPlatformTest, AnEmptyClassIsAnEmptyList) {
    std::vector<InterfacePath> found;
    EXPECT_TRUE(platform.ListInterfaces(kClass, found));
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(fake.destroyCount, 1);
}

TEST_F(WinUsbPlatformTest, InterfacesWhoseDetailCannotBeReadKeepTheirPlaceWithoutAPath) {
    FakeInterface wrongError{"\\\\?\\one", 1};
    wrongError.sizeQueryError = ERROR_INVALID_PARAMETER;
    FakeInterface detailFails{"\\\\?\\two", 2};
    detailFails.detailFails = true;
    // A size query that reports success with a size too small for any path.
    FakeInterface tinySize{"\\\\?\\three", 3};
    tinySize.sizeQueryError = 0;
    tinySize.reportedSize = 1;
    FakeInterface sizeQuerySucceeds{"\\\\?\\four", 4};
    sizeQuerySucceeds.sizeQueryError = 0;
    fake.interfaces = {wrongError, detailFails, tinySize, sizeQuerySucceeds};

    std::vector<InterfacePath> found;
    ASSERT_TRUE(platform.ListInterfaces(kClass, found));

    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].path, "");
    EXPECT_EQ(found[1].path, "");
    EXPECT_EQ(found[2].path, "");
    EXPECT_EQ(found[3].path, "\\\\?\\four");
    EXPECT_EQ(found[3].devInst, 4u);
    // No detail fetch after a refused size query; never a buffer smaller than the fixed part.
    ASSERT_EQ(fake.detailBufferSizes.size(), 3u);
    EXPECT_GE(fake.detailBufferSizes[1], sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
    EXPECT_EQ(fake.destroyCount, 1);
}

TEST_F(WinUsbPlatformTest, APathWithoutTerminatorEndsAtTheEndOfTheRecord) {
    FakeInterface unterminated{"\\\\?\\abcdefgh", 7};
    unterminated.unterminatedPath = true;
    fake.interfaces = {unterminated};

    // Leaves non-zero bytes where the detail block is likely to be allocated, so reading past
    // its end shows.
    for (std::size_t size = 16; size <= 64; size += 8) {
        auto junk = std::make_unique<std::uint8_t[]>(size);
        std::memset(junk.get(), 'B', size);
    }

    std::vector<InterfacePath> found;
    ASSERT_TRUE(platform.ListInterfaces(kClass, found));
    ASSERT_EQ(found.size(), 1u);
    const std::size_t room =
        4 + unterminated.path.size() + 1 - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    EXPECT_EQ(found[0].path, std::string(room, 'A'));
}

TEST_F(WinUsbPlatformTest, OpensThePathForOverlappedReadWriteSharedAccess) {
    fake.devices = {FakeWinUsbDevice{.path = "\\\\?\\dev"}};
    const Handle file = platform.OpenFile("\\\\?\\dev");

    EXPECT_EQ(file, AsHandle(FakeFileHandle(1)));
    EXPECT_EQ(fake.lastOpenedPath, "\\\\?\\dev");
    EXPECT_EQ(fake.access, 0xC0000000u);
    EXPECT_EQ(fake.share, 3u);
    EXPECT_FALSE(fake.securityPassed);
    EXPECT_EQ(fake.creation, 3u);
    EXPECT_EQ(fake.flagsAndAttributes, 0x40000080u);
    EXPECT_FALSE(fake.templatePassed);
    EXPECT_EQ(platform.LastOpenRefusal("\\\\?\\dev"), OpenRefusal::None);
}

TEST_F(WinUsbPlatformTest, AFailedOpenIsNoHandleAndTellsWhetherAnotherProgramHoldsIt) {
    fake.devices = {
        FakeWinUsbDevice{.path = "busy", .openFails = true, .openError = ERROR_ACCESS_DENIED},
        FakeWinUsbDevice{.path = "shared", .openFails = true, .openError = ERROR_SHARING_VIOLATION},
        FakeWinUsbDevice{.path = "free"}};
    EXPECT_EQ(platform.OpenFile("busy"), kNoHandle);
    EXPECT_EQ(platform.LastOpenRefusal("busy"), OpenRefusal::InUse);
    EXPECT_EQ(platform.OpenFile("shared"), kNoHandle);
    EXPECT_EQ(platform.LastOpenRefusal("shared"), OpenRefusal::InUse);

    // Each path keeps its own reason: opening another one does not overwrite it.
    EXPECT_NE(platform.OpenFile("free"), kNoHandle);
    EXPECT_EQ(platform.LastOpenRefusal("free"), OpenRefusal::None);
    EXPECT_EQ(platform.LastOpenRefusal("busy"), OpenRefusal::InUse);

    EXPECT_EQ(platform.OpenFile("gone"), kNoHandle);
    EXPECT_EQ(platform.LastOpenRefusal("gone"), OpenRefusal::None);
}

TEST_F(WinUsbPlatformTest, HandlesPassThroughUnchanged) {
    fake.devices = {FakeWinUsbDevice{.path = "a"},
                    FakeWinUsbDevice{.path = "b", .initializeFails = true}};
    const Handle usb = platform.InitializeUsb(AsHandle(FakeFileHandle(1)));
    EXPECT_EQ(usb, AsHandle(FakeUsbHandle(1)));
    EXPECT_EQ(platform.InitializeUsb(AsHandle(FakeFileHandle(2))), kNoHandle);

    platform.FreeUsb(usb);
    platform.CloseFile(AsHandle(FakeFileHandle(1)));
    EXPECT_EQ(fake.log, (std::vector<std::string>{"initialize 1", "free 1", "close 1"}));
}

TEST_F(WinUsbPlatformTest, DescriptorReadsPassTypeIndexLanguageAndLength) {
    FakeWinUsbDevice device{.path = "a"};
    device.serialDescriptor = {10, 3, '1', 0, '2', 0, '3', 0, '4', 0};
    fake.devices = {device};
    const Handle usb = AsHandle(FakeUsbHandle(1));

    std::uint8_t buffer[254] = {};
    std::uint32_t transferred = 99;
    ASSERT_TRUE(platform.GetDescriptor(usb, 3, 5, 0x0409, buffer, 254, transferred));
    EXPECT_EQ(transferred, 10u);
    EXPECT_EQ(buffer[2], '1');
    EXPECT_EQ(fake.getDescriptorTypes.back(), 3);
    EXPECT_EQ(fake.getDescriptorIndexes.back(), 5);
    EXPECT_EQ(fake.getDescriptorLanguages.back(), 0x0409);
    EXPECT_EQ(fake.getDescriptorLengths.back(), 254u);

    // No device descriptor scripted: the read fails.
    EXPECT_FALSE(platform.GetDescriptor(usb, 1, 0, 0x0409, buffer, 18, transferred));
}

TEST_F(WinUsbPlatformTest, InterfaceSettingsAndPipesAreCopied) {
    FakeWinUsbDevice device{.path = "a"};
    device.interfaceDescriptor = {9, 4, 2, 0, 3, 0xFF, 0x12, 0x34, 6};
    device.pipes = {{UsbdPipeTypeBulk, 0x81, 64, 0},
                    {UsbdPipeTypeInterrupt, 0x83, 8, 10},
                    {UsbdPipeTypeBulk, 0x02, 512, 0}};
    fake.devices = {device};
    const Handle usb = AsHandle(FakeUsbHandle(1));

    InterfaceDescriptor settings;
    ASSERT_TRUE(platform.QueryInterfaceSettings(usb, 0, settings));
    EXPECT_EQ(settings.bNumEndpoints, 3);
    EXPECT_EQ(settings.bInterfaceNumber, 2);
    EXPECT_EQ(settings.bInterfaceClass, 0xFF);
    EXPECT_EQ(settings.iInterface, 6);

    PipeInfo pipe;
    ASSERT_TRUE(platform.QueryPipe(usb, 0, 1, pipe));
    EXPECT_EQ(pipe.type, PipeType::Interrupt);
    EXPECT_EQ(pipe.pipeId, 0x83);
    EXPECT_EQ(pipe.maximumPacketSize, 8);
    EXPECT_EQ(pipe.interval, 10);
    ASSERT_TRUE(platform.QueryPipe(usb, 0, 2, pipe));
    EXPECT_EQ(pipe.type, PipeType::Bulk);
    EXPECT_EQ(pipe.pipeId, 0x02);
    EXPECT_EQ(pipe.maximumPacketSize, 512);
    EXPECT_EQ(fake.queriedAlternateSettings, (std::vector<UCHAR>{0, 0, 0}));

    EXPECT_FALSE(platform.QueryPipe(usb, 0, 3, pipe));
    EXPECT_FALSE(platform.QueryInterfaceSettings(AsHandle(FakeUsbHandle(2)), 0, settings));
}

TEST_F(WinUsbPlatformTest, ThePipeTimeOutIsPolicyThreeWithAFourByteValue) {
    fake.devices = {FakeWinUsbDevice{.path = "a"}};
    ASSERT_TRUE(platform.SetPipeTimeout(AsHandle(FakeUsbHandle(1)), 0x81, 100));
    EXPECT_EQ(fake.policyPipe, 0x81);
    EXPECT_EQ(fake.policyType, 3u);
    EXPECT_EQ(fake.policyLength, 4u);
    EXPECT_EQ(fake.policyValue, 100u);
    EXPECT_FALSE(platform.SetPipeTimeout(AsHandle(FakeUsbHandle(9)), 0x81, 100));
}

TEST_F(WinUsbPlatformTest, TransfersAreSynchronousAndReportTheBytesMoved) {
    fake.devices = {FakeWinUsbDevice{.path = "a"}};
    const Handle usb = AsHandle(FakeUsbHandle(1));

    fake.toRead = {6, 0, 0xCF, 0, 0x11, 0x22};
    std::uint8_t in[1032] = {};
    std::uint32_t transferred = 0;
    ASSERT_TRUE(platform.ReadPipe(usb, 0x81, in, sizeof in, transferred));
    EXPECT_EQ(transferred, 6u);
    EXPECT_EQ(in[2], 0xCF);
    EXPECT_EQ(fake.readPipeId, 0x81);
    EXPECT_EQ(fake.readLength, 1032u);
    EXPECT_FALSE(fake.transferOverlappedPassed);

    fake.readFails = true;
    transferred = 77;
    EXPECT_FALSE(platform.ReadPipe(usb, 0x81, in, sizeof in, transferred));
    EXPECT_EQ(transferred, 0u);

    const std::uint8_t out[] = {6, 0, 'O', 1, 0xAA, 0xBB};
    fake.writeShortBy = 2;
    ASSERT_TRUE(platform.WritePipe(usb, 0x02, out, sizeof out, transferred));
    EXPECT_EQ(transferred, 4u);
    EXPECT_EQ(fake.written, (std::vector<std::uint8_t>{6, 0, 'O', 1}));
    EXPECT_EQ(fake.writePipeId, 0x02);
    EXPECT_EQ(fake.writeLength, 6u);
    EXPECT_FALSE(fake.transferOverlappedPassed);
}

TEST_F(WinUsbPlatformTest, AWriteNeverWaitsForEverOnAPipeWithoutATimeOut) {
    fake.devices = {FakeWinUsbDevice{.path = "a"}, FakeWinUsbDevice{.path = "b"}};
    const Handle usb = AsHandle(FakeUsbHandle(1));
    const std::uint8_t out[] = {6, 0, 'O', 1, 0xAA, 0xBB};
    std::uint32_t transferred = 0;
    using Policies = std::vector<std::pair<UCHAR, ULONG>>;

    // WinUSB's default waits for ever: the first write sets 5 s, later ones leave it.
    ASSERT_TRUE(platform.WritePipe(usb, 0x02, out, sizeof out, transferred));
    ASSERT_TRUE(platform.WritePipe(usb, 0x02, out, sizeof out, transferred));
    EXPECT_EQ(fake.timeoutPolicies, (Policies{{0x02, 5000}}));
    // A time-out the caller chose is kept.
    ASSERT_TRUE(platform.SetPipeTimeout(usb, 0x03, 700));
    ASSERT_TRUE(platform.WritePipe(usb, 0x03, out, sizeof out, transferred));
    EXPECT_EQ(fake.timeoutPolicies, (Policies{{0x02, 5000}, {0x03, 700}}));

    // A new USB handle for the same device starts without: freed handles' pipes are forgotten.
    platform.FreeUsb(usb);
    ASSERT_TRUE(platform.WritePipe(usb, 0x02, out, sizeof out, transferred));
    EXPECT_EQ(fake.timeoutPolicies.size(), 3u);
    // One that cannot be set does not stop the write and is tried again the next time.
    fake.policyFails = true;
    const Handle other = AsHandle(FakeUsbHandle(2));
    EXPECT_TRUE(platform.WritePipe(other, 0x02, out, sizeof out, transferred));
    fake.policyFails = false;
    EXPECT_TRUE(platform.WritePipe(other, 0x02, out, sizeof out, transferred));
    EXPECT_EQ(fake.timeoutPolicies.back(), (std::pair<UCHAR, ULONG>{0x02, 5000}));
    EXPECT_EQ(fake.timeoutPolicies.size(), 4u);
}

TEST_F(WinUsbPlatformTest, ClearingAHaltResetsThatPipe) {
    fake.devices = {FakeWinUsbDevice{.path = "a"}};
    EXPECT_TRUE(platform.ClearHalt(AsHandle(FakeUsbHandle(1)), 0x81));
    EXPECT_TRUE(platform.ClearHalt(AsHandle(FakeUsbHandle(1)), 0x02));
    EXPECT_EQ(fake.resetPipes, (std::vector<UCHAR>{0x81, 0x02}));
    fake.resetFails = true;
    EXPECT_FALSE(platform.ClearHalt(AsHandle(FakeUsbHandle(1)), 0x81));
}

}  // namespace
}  // namespace wusb::windows
