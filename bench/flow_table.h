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

}  // namespace bench
