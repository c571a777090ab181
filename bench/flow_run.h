// Runs a flow several times on a rig against the real clock: wall time of each run, the bulk
// transfers it made, and whether it did what it should.
#pragma once

#include <string>
#include <vector>

#include "bench/flows.h"
#include "bench/metered_clock.h"
#include "bench/rig.h"
#include "bench/stats.h"

namespace bench {

struct FlowResult {
    Summary wallMs;
    // Per run: how much later than asked the sleeps ended, the time in bulk transfers, and the
    // rest, the program's own work.
    Summary oversleptMs;
    Summary transferMs;
    Summary ownWorkMs;
    // The most any run made; the least the protocol allows.
    sim::TransferCounts counts;
    std::uint64_t minWrites = 0;
    std::uint64_t minReads = 0;
    // Control requests of each run, where the rig counts them.
    std::vector<std::uint64_t> controlRequests;
    // Empty when every run sent the expected commands and passed the flow's check.
    std::string failure;
};

// `clock` must be the one the rig sleeps on, so that every wait is metered.
FlowResult RunFlow(Rig& rig, MeteredClock& clock, const FlowSpec& flow, int runs);

}  // namespace bench
