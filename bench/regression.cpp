#include "bench/regression.h"

#include "bench/stats.h"

namespace bench {

std::vector<std::string> GrossRegressions(const FlowSpec& flow, const FlowResult& result) {
    std::vector<std::string> problems;
    if (!result.failure.empty()) {
        problems.push_back("failed: " + result.failure);
        return problems;
    }
    const Summary& wall = result.wallMs;
    // Sleeps never end early, so a run shorter than the floor has lost a wait.
    if (wall.min < flow.floorMs) {
        problems.push_back("took " + Fixed(wall.min, 2) + " ms, less than its waits of " +
                           Fixed(flow.floorMs, 0) + " ms");
    }
    const double limit = flow.floorMs > 0 ? 2 * flow.floorMs : kNoWaitLimitMs;
    if (wall.median >= limit) {
        problems.push_back("took " + Fixed(wall.median, 2) + " ms, limit " + Fixed(limit, 0) +
                           " ms");
    }
    if (result.counts.writes > result.minWrites || result.counts.reads > result.minReads) {
        problems.push_back("made " + std::to_string(result.counts.writes) + " writes and " +
                           std::to_string(result.counts.reads) + " reads, minimum " +
                           std::to_string(result.minWrites) + " and " +
                           std::to_string(result.minReads));
    }
    return problems;
}

}  // namespace bench
