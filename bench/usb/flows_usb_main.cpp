// Flow timings and transfer counts through the real libusb on an emulated USB device. umockdev
// works only when its preload library is loaded before everything else, so a run without it
// executes itself again with it.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "bench/flow_report.h"
#include "bench/metered_clock.h"
#include "usb/usb_rig.h"
#include "wusb/clock.h"

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";
constexpr const char* kReexecMark = "TRELVO_BENCH_USB_REEXEC";

bool PreloadActive() {
    return dlopen(kPreload, RTLD_NOW | RTLD_NOLOAD) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (!PreloadActive() && std::getenv(kReexecMark) == nullptr) {
        setenv("LD_PRELOAD", kPreload, 1);
        setenv(kReexecMark, "1", 1);
        execv("/proc/self/exe", argv);
    }
    if (!PreloadActive()) {
        std::printf(
            "### Flows through the real libusb\n\nNot measured: umockdev's preload "
            "library (%s) could not be loaded, so no USB device can be emulated.\n\n",
            kPreload);
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
