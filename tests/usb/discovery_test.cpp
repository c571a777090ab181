// Finding the interface on real machines through the real libusb: composite devices, devices
// the user names by id, what is asked of each device and how often, wedged and unopenable
// devices, and stalled pipes.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "usb_bench.h"
#include "uwieg/session.h"
#include "without_permission_override.h"
#include "wusb/device.h"

namespace usbtest {
namespace {

using DiscoveryOnEmulatedUsb = UsbBench;

const Bytes kAnswer{6, 0, 0xCF, 0, 0x55, 0x5C};

std::vector<std::string> Paths(wusb::Platform& platform) {
    std::vector<wusb::InterfacePath> listed;
    EXPECT_TRUE(platform.ListInterfaces(uwieg::kInterfaceGuid, listed));
    std::vector<std::string> paths;
    for (const auto& p : listed) {
        paths.push_back(p.path);
    }
    return paths;
}

// libusb learns of plugging and unplugging from udev events on its own thread.
bool PathsBecome(wusb::Platform& platform, const std::vector<std::string>& expected) {
    const auto start = std::chrono::steady_clock::now();
    while (Paths(platform) != expected) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(3))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Links slot 0 and checks the interface it claimed, then one exchange on its pipes.
void LinkAndExchange(wusb::WUsbDevTab& table, EmulatedDevice& device, ScriptedFirmware& firmware,
                     std::uint8_t expectedInterface) {
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    wusb::InterfaceDescriptor claimed;
    ASSERT_TRUE(table.platform().QueryInterfaceSettings(table.entry(0).usbHandle, 0, claimed));
    EXPECT_EQ(claimed.bInterfaceNumber, expectedInterface);
    EXPECT_EQ(dev.inPipe, kInEndpoint);
    EXPECT_EQ(dev.outPipe, kOutEndpoint);
    const std::uint8_t frame[] = {6, 0, 'O', 1, 0xF5, 0x5C};
    ASSERT_TRUE(dev.WriteRaw(sizeof frame, frame));
    device.WithFirmware([&](Firmware&) { firmware.toSend.push_back(kAnswer); });
    std::uint8_t buffer[64];
    ASSERT_EQ(dev.ReadRaw(sizeof buffer, buffer), kAnswer.size());
    EXPECT_EQ(Bytes(buffer, buffer + kAnswer.size()), kAnswer);
    EXPECT_EQ(firmware.received, std::vector<Bytes>{Bytes(frame, frame + sizeof frame)});
}

TEST_F(DiscoveryOnEmulatedUsb, CompositeDevicesAreFoundOnTheirSecondInterfaceInBothStyles) {
    for (const Announce announce : {Announce::MsOs20, Announce::MsOs10}) {
        SCOPED_TRACE(announce == Announce::MsOs20 ? "MS OS 2.0" : "MS OS 1.0");
        ScriptedFirmware firmware, plainFirmware;
        DeviceSpec composite;
        composite.composite = true;
        composite.announce = announce;
        DeviceSpec plain;
        plain.announce = announce;
        EmulatedDevice& device = AddDevice("1", composite, firmware);
        AddDevice("2", plain, plainFirmware);
        {
            wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
            ASSERT_EQ(table.Enumerate(), 2) << "the composite device and the interface-0 one";
            LinkAndExchange(table, device, firmware, 1);
        }
        RestartOnEmptyBus();
    }
}

TEST_F(DiscoveryOnEmulatedUsb, MsOs10PropertiesAreAskedWithTheInterfaceInTheLowByte) {
    ScriptedFirmware firmware;
    DeviceSpec composite;
    composite.composite = true;
    composite.announce = Announce::MsOs10;
    EmulatedDevice& device = AddDevice("1", composite, firmware);
    ASSERT_EQ(Paths(platform()), std::vector<std::string>{"usb:1-1"});
    bool asked = false;
    for (const auto& setup : device.controlLog()) {
        if ((setup.requestType & 0x60) == 0x40) {
            EXPECT_EQ(setup.index, 5);
            EXPECT_EQ(setup.value, 0x0001) << "interface 1, page 0";
            asked = true;
        }
    }
    EXPECT_TRUE(asked);
}

TEST_F(DiscoveryOnEmulatedUsb, EachConnectionIsProbedOnceAndMsOs20DevicesNeverTheOldWay) {
    ScriptedFirmware firmware, otherFirmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    DeviceSpec otherClass;
    otherClass.interfaceGuid = "{42CE4F4D-ADC2-4F1C-9110-649710D65997}";
    EmulatedDevice& other = AddDevice("2", otherClass, otherFirmware);

    ASSERT_EQ(Paths(platform()), std::vector<std::string>{"usb:1-1"});
    const int probe = device.controlRequests();
    EXPECT_EQ(probe, 3) << "BOS header, whole BOS, descriptor set";
    for (const auto& setup : other.controlLog()) {
        EXPECT_FALSE(setup.requestType == 0x80 && setup.value == 0x03EE)
            << "a device with the MS OS 2.0 capability is not asked for the MS OS 1.0 string";
        EXPECT_NE(setup.index, 5) << "nor for MS OS 1.0 extended properties";
    }
    const int otherProbe = other.controlRequests();

    for (const char* listing : {"second", "third"}) {
        ASSERT_EQ(Paths(platform()), std::vector<std::string>{"usb:1-1"}) << listing;
        EXPECT_EQ(device.controlRequests(), probe)
            << "a known connection is not asked again (" << listing << " listing)";
        EXPECT_EQ(other.controlRequests(), otherProbe)
            << "nor is one that did not name the class (" << listing << " listing)";
    }

    // A new connection (a new device address) is probed anew.
    device.Unplug();
    ASSERT_TRUE(PathsBecome(platform(), {}));
    device.Plug();
    ASSERT_TRUE(PathsBecome(platform(), {"usb:1-1"}));
    EXPECT_EQ(device.controlRequests(), 2 * probe);
}

// Several devices plugged in at once bring several listings within a moment; one of them still
// starting must not use up its tries before it answers.
TEST_F(DiscoveryOnEmulatedUsb, ADeviceAnnouncedBeforeItAnswersIsFoundHoweverOftenListedMeanwhile) {
    ScriptedFirmware firmware;
    DeviceSpec early;
    early.takesRequestsAfterMs = 1000;
    platform();
    std::atomic<bool> answering = false;
    std::thread plug([&] {
        AddDevice("1", early, firmware);
        answering = true;
    });
    int listings = 0;
    for (; !answering; ++listings) {
        Paths(platform());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    plug.join();
    ASSERT_GE(listings, 4) << "too few listings while it was not answering to tell";
    EXPECT_EQ(Paths(platform()), std::vector<std::string>{"usb:1-1"});
}

TEST_F(DiscoveryOnEmulatedUsb, AWedgedDeviceCostsOneShortTimeOutOnceAndIsNotListed) {
    ScriptedFirmware firmware, wedgedFirmware;
    AddDevice("1", {}, firmware);
    DeviceSpec wedgedSpec;
    wedgedSpec.ignoresVendorRequests = true;
    EmulatedDevice& wedged = AddDevice("2", wedgedSpec, wedgedFirmware);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Paths(platform()), std::vector<std::string>{"usb:1-1"});
    const auto first = std::chrono::steady_clock::now() - start;
    EXPECT_LT(first, std::chrono::milliseconds(400));
    EXPECT_EQ(wedged.controlRequests(), 3) << "nothing more after the request that timed out";

    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Paths(platform()), std::vector<std::string>{"usb:1-1"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(wedged.controlRequests(), 3);
}

TEST_F(DiscoveryOnEmulatedUsb, ASlowDeviceIsAskedForHalfASecondAtMost) {
    ScriptedFirmware firmware;
    DeviceSpec slow;
    slow.announce = Announce::MsOs10;
    slow.interfaceGuid = "{42CE4F4D-ADC2-4F1C-9110-649710D65997}";
    slow.answerDelayMs = 60;
    // Two requests for each of seven interfaces after the string: 900 ms if all were asked.
    slow.extraVendorInterfaces = 6;
    EmulatedDevice& device = AddDevice("1", slow, firmware);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Paths(platform()).empty());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(480));
    EXPECT_LT(took, std::chrono::milliseconds(650));
    EXPECT_LE(device.controlRequests(), 9);
    // Cut short by the half second, which is no answer: asked again, and a whole answer kept.
    device.AnswerAtOnce();
    for (const bool asked : {true, false}) {
        const int before = device.controlRequests();
        EXPECT_TRUE(Paths(platform()).empty());
        EXPECT_EQ(device.controlRequests() > before, asked);
    }
}

TEST_F(DiscoveryOnEmulatedUsb, DevicesNamedByIdAreListedWithoutBeingAsked) {
    ScriptedFirmware firmware, storageFirmware;
    DeviceSpec silent;
    silent.announce = Announce::Nothing;
    silent.vendorId = 0x2A3B;
    silent.productId = 0x0C4D;
    DeviceSpec storage = silent;
    storage.productId = 0x0C4E;
    storage.interfaceClass = 0x08;
    EmulatedDevice& device = AddDevice("1", silent, firmware);
    AddDevice("2", storage, storageFirmware);

    EXPECT_TRUE(Paths(platform()).empty()) << "announcing nothing, it is not taken unnamed";
    ResetPlatform();

    ::setenv("TRELVO_USB_IDS", "2a3b:c4d, 2A3B:0C4E", 1);
    wusb::libusb::LibusbPlatform& named = platform();
    ::unsetenv("TRELVO_USB_IDS");
    const int asked = device.controlRequests();
    EXPECT_EQ(Paths(named), std::vector<std::string>{"usb:1-1"})
        << "a named device still needs a vendor-specific interface";
    EXPECT_EQ(device.controlRequests(), asked);
    wusb::WUsbDevTab table(named, uwieg::kInterfaceGuid);
    ASSERT_EQ(table.Enumerate(), 1);
    LinkAndExchange(table, device, firmware, 0);
}

TEST_F(DiscoveryOnEmulatedUsb, AnInterfaceThatCannotBeOpenedOrClaimedGivesItsHint) {
    ScriptedFirmware firmware, storageFirmware;
    DeviceSpec locked;
    locked.deniesOpen = true;
    locked.announce = Announce::Nothing;
    AddDevice("1", locked, firmware);
    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    {
        WithoutPermissionOverride asAUser;
        EXPECT_EQ(table.Enumerate(), 0);
    }
    EXPECT_EQ(table.refusal(), wusb::OpenRefusal::Permission);
    EXPECT_EQ(uwieg::NoInterfaceMessage(table.refusal()),
              std::string(uwieg::kNoInterfaceText) + "\n" + uwieg::kPermissionHint);
    RestartOnEmptyBus();

    // A locked vendor-specific device without the bulk pair is no candidate: no hint.
    DeviceSpec lockedComposite = locked;
    lockedComposite.interfaceClass = 0x08;
    AddDevice("1", lockedComposite, storageFirmware);
    wusb::WUsbDevTab other(platform(), uwieg::kInterfaceGuid);
    {
        WithoutPermissionOverride asAUser;
        EXPECT_EQ(other.Enumerate(), 0);
    }
    EXPECT_EQ(other.refusal(), wusb::OpenRefusal::None);
    RestartOnEmptyBus();

    // Claimed by another program: the same hint Windows gives, kept with that interface.
    ScriptedFirmware heldFirmware;
    DeviceSpec held;
    held.claimedElsewhere = true;
    AddDevice("1", held, heldFirmware);
    wusb::WUsbDevTab busy(platform(), uwieg::kInterfaceGuid);
    EXPECT_EQ(busy.Enumerate(), 0);
    EXPECT_EQ(busy.refusal(), wusb::OpenRefusal::InUse);
    EXPECT_EQ(platform().LastOpenRefusal("usb:1-1"), wusb::OpenRefusal::InUse);
}

TEST_F(DiscoveryOnEmulatedUsb, AWriteToADeviceThatStoppedTakingDataGivesUpAfterFiveSeconds) {
    ScriptedFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    device.StopTakingData();
    const std::uint8_t frame[] = {6, 0, 'O', 1, 0xF5, 0x5C};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(dev.WriteRaw(sizeof frame, frame));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(4990));
    EXPECT_LT(waited, std::chrono::milliseconds(7000));
    EXPECT_TRUE(firmware.received.empty());
}

TEST_F(DiscoveryOnEmulatedUsb, LinkClearsAStalledPipe) {
    ScriptedFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    wusb::WUsbDevTab table(platform(), uwieg::kInterfaceGuid);
    ASSERT_EQ(table.Enumerate(), 1);
    wusb::WUsbDev dev;
    dev.Link(table, 0);
    device.Halt(kInEndpoint);
    device.WithFirmware(
        [](Firmware& f) { static_cast<ScriptedFirmware&>(f).toSend.push_back(kAnswer); });
    std::uint8_t buffer[64];
    dev.firstReadRetry = false;
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u) << "the stalled pipe fails";
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u) << "and stays stalled";

    dev.Link(table, 0);
    EXPECT_EQ(device.clearedHalts(),
              (std::vector<std::uint8_t>{kInEndpoint, kOutEndpoint, kInEndpoint, kOutEndpoint}));
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), kAnswer.size());
}

}  // namespace
}  // namespace usbtest
