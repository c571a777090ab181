#include "bench/flow_table.h"

#include <algorithm>

namespace bench {
namespace {

bool TransfersMinimal(const FlowResult& r) {
    return r.counts.writes == r.minWrites && r.counts.reads == r.minReads;
}

bool FlowWithinGoal(const MeasuredFlow& f) {
    // A flow without waits has no floor to compare with; its absolute time is shown instead.
    return f.spec.floorMs == 0 ||
           OverheadWithinGoal(f.result.wallMs.median - f.spec.floorMs, f.spec.floorMs);
}

}  // namespace

bool MeetsGoals(const MeasuredFlow& f) {
    return f.result.failure.empty() && FlowWithinGoal(f) && TransfersMinimal(f.result);
}

std::string TimingTable(const std::vector<MeasuredFlow>& flows) {
    std::string t =
        "| flow | floor (ms) | wall (ms): median (min–max, runs) | overhead (ms) | "
        "late wake-ups (ms) | in bulk transfers (ms) | own work (ms) | wall / floor | "
        "overhead ≤ 2 % of floor |\n"
        "|---|---:|---|---:|---:|---:|---:|---:|---|\n";
    for (const MeasuredFlow& f : flows) {
        const FlowResult& r = f.result;
        t += "| " + f.spec.name + " | " + Fixed(f.spec.floorMs, 0) + " | ";
        if (!r.failure.empty()) {
            t += "FAILED: " + r.failure + " | | | | | | no |\n";
            continue;
        }
        t += FormatSummary(r.wallMs, 2) + " | " + Fixed(r.wallMs.median - f.spec.floorMs, 2) +
             " | " + Fixed(r.oversleptMs.median, 2) + " | " + Fixed(r.transferMs.median, 3) +
             " | " + Fixed(r.ownWorkMs.median, 3) + " | ";
        if (f.spec.floorMs == 0) {
            t += "— | no wait to compare with |\n";
            continue;
        }
        const double share = (r.wallMs.median - f.spec.floorMs) / f.spec.floorMs;
        t += Fixed(r.wallMs.median / f.spec.floorMs, 4) + " | " +
             (FlowWithinGoal(f) ? "yes" : "no") + " (" + Fixed(100 * share, 2) + " %) |\n";
    }
    return t;
}

std::string TransferTable(const std::vector<MeasuredFlow>& flows) {
    std::string t =
        "| flow | commands | writes: minimum / measured | reads: minimum / measured | equal |\n"
        "|---|---:|---:|---:|---|\n";
    for (const MeasuredFlow& f : flows) {
        const FlowResult& r = f.result;
        t += "| " + f.spec.name + " | " + std::to_string(f.spec.commands.size()) + " | " +
             std::to_string(r.minWrites) + " / " + std::to_string(r.counts.writes) + " | " +
             std::to_string(r.minReads) + " / " + std::to_string(r.counts.reads) + " | " +
             (TransfersMinimal(r) ? "yes" : "no") + " |\n";
    }
    return t;
}

std::string ControlRequestTable(const std::vector<MeasuredFlow>& flows) {
    std::string t =
        "| flow | commands | control requests: first run / later runs (most) | overhead (ms) | "
        "overhead ≤ 2 ms per command |\n"
        "|---|---:|---:|---:|---|\n";
    bool counted = false;
    for (const MeasuredFlow& f : flows) {
        const FlowResult& r = f.result;
        if (r.controlRequests.empty() || !r.failure.empty()) {
            continue;
        }
        counted = true;
        const auto later = r.controlRequests.size() > 1
                               ? std::to_string(*std::max_element(r.controlRequests.begin() + 1,
                                                                  r.controlRequests.end()))
                               : std::string("—");
        const double overhead = r.wallMs.median - f.spec.floorMs;
        const double allowance = 2.0 * static_cast<double>(f.spec.commands.size());
        t += "| " + f.spec.name + " | " + std::to_string(f.spec.commands.size()) + " | " +
             std::to_string(r.controlRequests.front()) + " / " + later + " | " +
             Fixed(overhead, 2) + " | " +
             (f.spec.floorMs == 0 ? std::string("no wait to compare with")
                                  : std::string(overhead <= allowance ? "yes" : "no") + " (" +
                                        Fixed(allowance, 0) + " ms)") +
             " |\n";
    }
    return counted ? t : std::string();
}

}  // namespace bench
