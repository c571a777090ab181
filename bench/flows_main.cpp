// Flow timings and transfer counts on the in-process simulator.
#include <cstdio>
#include <exception>

#include "bench/flow_report.h"
#include "bench/metered_clock.h"
#include "bench/rig.h"
#include "wusb/clock.h"

int main(int argc, char** argv) {
    try {
        const bench::FlowRuns runs = bench::ParseFlowRuns(argc, argv);
        wusb::SystemClock system;
        bench::MeteredClock clock(system);
        bench::SimRig rig(clock);
        return bench::ReportFlows(rig, clock, runs) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_flows: %s\n", e.what());
        return 2;
    }
}
