// What counts as a gross regression of a flow, for the quick check the test suite runs: loose
// enough for a loaded machine, tight enough to catch a lost wait, a doubled one, or traffic
// beyond what the protocol needs.
#pragma once

#include <string>
#include <vector>

#include "bench/flow_run.h"
#include "bench/flows.h"

namespace bench {

// A flow without waits that takes longer than this has gone wrong.
inline constexpr double kNoWaitLimitMs = 20;

// Empty when the flow is fine; otherwise one text per problem.
std::vector<std::string> GrossRegressions(const FlowSpec& flow, const FlowResult& result);

}  // namespace bench
