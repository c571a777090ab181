// Flow timings and transfer counts through the real libusb on an emulated USB device. umockdev
// works only when its preload library is loaded before everything else, so a run without it
// executes itself again with it.
#include <cstdio>
#include <exception>

#include "bench/flow_report.h"
#include "bench/metered_clock.h"
#include "usb/preload.h"
#include "usb/usb_rig.h"
#include "wusb/clock.h"

int main(int argc, char** argv) {
    if (!bench::EnsureUmockdevPreload(argv)) {
        std::printf(
            "### Flows through the real libusb\n\nNot measured: umockdev's preload "
            "library (%s) could not be loaded, so no USB device can be emulated.\n\n",
            bench::kUmockdevPreload);
        return 0;
    }
    try {
        const bench::FlowRuns runs = bench::ParseFlowRuns(argc, argv);
        wusb::SystemClock system;
        bench::MeteredClock clock(system);
        bench::UsbRig rig(clock);
        return bench::ReportFlows(rig, clock, runs) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_flows_usb: %s\n", e.what());
        return 2;
    }
}
