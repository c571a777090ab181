#include "bench/flow_report.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench/flow_table.h"

namespace bench {

FlowRuns ParseFlowRuns(int argc, char** argv) {
    FlowRuns runs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc || (arg != "--runs" && arg != "--upgrade-runs")) {
            throw std::invalid_argument("usage: [--runs N] [--upgrade-runs N]");
        }
        const int n = std::stoi(argv[++i]);
        if (n < 1) {
            throw std::invalid_argument(arg + " needs a positive count");
        }
        (arg == "--runs" ? runs.runs : runs.upgradeRuns) = n;
    }
    return runs;
}

bool ReportFlows(Rig& rig, MeteredClock& clock, const FlowRuns& runs) {
    std::vector<MeasuredFlow> measured;
    bool ran = true;
    for (const FlowSpec& spec : StandardFlows({41, 43, 51, 53})) {
        const bool upgrade = spec.floorMs >= kAfterUpgradeWaitMs;
        FlowResult result = RunFlow(rig, clock, spec, upgrade ? runs.upgradeRuns : runs.runs);
        ran = ran && result.failure.empty();
        measured.push_back({spec, std::move(result)});
    }
    std::printf("### Flows, %s\n\n", rig.name().c_str());
    std::printf(
        "Wall time on the real clock against the floor (the waits the flow must make). The "
        "columns after the overhead split each run's wall time further (medians): sleeps that "
        "ended later than asked (the system's wake-up latency), time inside bulk transfers "
        "(less simulated time-outs, which are sleeps), and the rest, the program's own "
        "work.\n\n");
    std::printf("%s\n", TimingTable(measured).c_str());
    std::printf(
        "Bulk transfers per flow against the minimum (one write and one read per "
        "command, one read per poll; the retry of an empty first read after Link "
        "would add one read, and none was needed).\n\n");
    std::printf("%s\n", TransferTable(measured).c_str());
    const std::string control = ControlRequestTable(measured);
    if (!control.empty()) {
        std::printf(
            "Control requests the device saw per flow: the first run of the start-up read is "
            "the program's first listing, which asks the device for its Microsoft OS "
            "descriptors; every later flow only links (device and serial-number descriptors, "
            "clearing both pipes' halts). The last column holds the overhead to 2 ms per "
            "command.\n\n%s\n",
            control.c_str());
    }
    std::string missed;
    for (const MeasuredFlow& f : measured) {
        if (!MeetsGoals(f)) {
            missed += (missed.empty() ? "" : "; ") + f.spec.name;
        }
    }
    std::printf("Goals (overhead ≤ 2 %% of the floor, minimum transfers) %s.\n\n",
                missed.empty() ? "met by every flow" : ("missed by: " + missed).c_str());
    return ran;
}

}  // namespace bench
