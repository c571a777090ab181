// trelvo-udev-probe, the program the udev rule runs at plug-in, on emulated devices: what it
// prints for each kind of device, how long it takes, and that it only ever asks for descriptors.
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "child_program.h"
#include "usb_bench.h"

namespace usbtest {
namespace {

using UdevProbeOnEmulatedUsb = UsbBench;

struct ProbeRun {
    ChildRun child;
    std::chrono::milliseconds took{0};
};

ProbeRun RunProbe(const std::string& idsFile, const std::string& node) {
    const auto start = std::chrono::steady_clock::now();
    ProbeRun run{RunChild({TRELVO_UDEV_PROBE, "--usb-ids", idsFile, node}), {}};
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return run;
}

struct ProbeCase {
    const char* name;
    DeviceSpec spec;
    const char* idsFile;  // its content
    const char* expected;
};

DeviceSpec Spec(void (*change)(DeviceSpec&)) {
    DeviceSpec spec;
    change(spec);
    return spec;
}

TEST_F(UdevProbeOnEmulatedUsb, NamesTheWiegandInterfaceAndNothingElse) {
    const ProbeCase cases[] = {
        {"MS OS 2.0", {}, "", "TRELVO_INTERFACE=0\n"},
        {"MS OS 1.0", Spec([](DeviceSpec& s) { s.announce = Announce::MsOs10; }), "",
         "TRELVO_INTERFACE=0\n"},
        {"composite", Spec([](DeviceSpec& s) { s.composite = true; }), "", "TRELVO_INTERFACE=1\n"},
        {"another class",
         Spec([](DeviceSpec& s) { s.interfaceGuid = "{42CE4F4D-ADC2-4F1C-9110-649710D65997}"; }),
         "", ""},
        {"announcing nothing (stalls)", Spec([](DeviceSpec& s) { s.announce = Announce::Nothing; }),
         "# 1209:57a1\n1209:57a2\n", ""},
        {"announcing nothing, listed", Spec([](DeviceSpec& s) { s.announce = Announce::Nothing; }),
         "1209:57a2\n1209:57A1\n", "TRELVO_INTERFACE=0\n"},
        {"never answering", Spec([](DeviceSpec& s) { s.ignoresVendorRequests = true; }), "", ""},
        {"class device, listed", Spec([](DeviceSpec& s) { s.interfaceClass = 0x08; }),
         "1209:57a1\n", ""},
    };
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string idsFile = bus_->root() + "/usb-ids";
        std::ofstream(idsFile) << c.idsFile;
        ScriptedFirmware firmware;
        EmulatedDevice& device = AddDevice("1", c.spec, firmware);

        // Starting the program and listing the bus take their time, more so under a sanitizer
        // and a busy machine; that is measured on a node where no device is, just before.
        const ProbeRun start = RunProbe(idsFile, "/dev/bus/usb/001/127");
        const ProbeRun run = RunProbe(idsFile, device.node());
        EXPECT_EQ(run.child.code, 0);
        EXPECT_EQ(run.child.out, c.expected);
        EXPECT_LT(run.took - start.took, std::chrono::milliseconds(500));
        EXPECT_EQ(device.stateChanges(), 0) << "nothing claimed, no configuration set";
        for (const auto& setup : device.controlLog()) {
            const bool descriptor = setup.requestType == 0x80 && setup.request == 6;
            const bool msOs = (setup.requestType & 0xFE) == 0xC0 && setup.request == kVendorCode;
            EXPECT_TRUE(descriptor || msOs)
                << "request type " << int{setup.requestType} << ", request " << int{setup.request};
        }
        RestartOnEmptyBus();
    }
}

TEST_F(UdevProbeOnEmulatedUsb, SaysNothingOfANodeItCannotUse) {
    ScriptedFirmware firmware;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    const std::string node = device.node();
    const std::string elsewhere = node.substr(0, node.size() - 1) + "9";
    for (const std::string& bad :
         {elsewhere, std::string("/dev/bus/usb/001"), std::string("/dev/ttyUSB0"), node + "/0"}) {
        const ProbeRun run = RunProbe(bus_->root() + "/no-such-file", bad);
        EXPECT_EQ(run.child.code, 0) << bad;
        EXPECT_EQ(run.child.out, "") << bad;
    }
    EXPECT_EQ(device.controlRequests(), 0);
}

}  // namespace
}  // namespace usbtest
