// The flow results as Markdown: wall time against the floor, and transfers against the minimum.
#pragma once

#include <string>
#include <vector>

#include "bench/flow_run.h"
#include "bench/flows.h"

namespace bench {

struct MeasuredFlow {
    FlowSpec spec;
    FlowResult result;
};

// True when the flow ran as expected, its overhead is within the goal and its transfers are
// the minimum.
bool MeetsGoals(const MeasuredFlow& flow);

std::string TimingTable(const std::vector<MeasuredFlow>& flows);
std::string TransferTable(const std::vector<MeasuredFlow>& flows);
// Control requests per flow, and the overhead against 2 ms per command; empty when the rig
// does not count control requests.
std::string ControlRequestTable(const std::vector<MeasuredFlow>& flows);

}  // namespace bench
