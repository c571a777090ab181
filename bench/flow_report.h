// Measures the standard flows on a rig and prints them as a Markdown section.
#pragma once

#include <string>

#include "bench/metered_clock.h"
#include "bench/rig.h"

namespace bench {

struct FlowRuns {
    int runs = 7;         // per short flow
    int upgradeRuns = 3;  // per upgrade (each takes well over a second)
};

// Reads "--runs N" and "--upgrade-runs N"; anything else throws std::invalid_argument.
FlowRuns ParseFlowRuns(int argc, char** argv);

// Prints the section for `rig` to stdout; returns false when a flow failed outright.
bool ReportFlows(Rig& rig, MeteredClock& clock, const FlowRuns& runs);

}  // namespace bench
