#include "bench/flow_run.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>

#include "uwieg/err.h"
#include "wusb/err.h"

namespace bench {
namespace {

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& p : parts) {
        text += (text.empty() ? "" : " ") + p;
    }
    return text;
}

struct Pass {
    double wallMs = 0;
    double sleptMs = 0;
    double askedMs = 0;
    double transferMs = 0;
    sim::TransferCounts counts;
    std::optional<std::uint64_t> controlRequests;
};

// Runs one measured pass; sets `failure` when it did not go as expected.
Pass RunOnce(Rig& rig, MeteredClock& clock, const FlowSpec& flow, std::string& failure) {
    rig.WithInterface([&](sim::SimInterface& sim) {
        sim.Reset();
        sim.ClearFaults();
        sim.reader() = sim::ReaderModel{};
        flow.setReader(sim.reader());
    });
    FlowSession session(rig.platform(), clock);
    Pass pass;
    try {
        if (flow.prepare) {
            flow.prepare(session);
        }
        rig.WithInterface([](sim::SimInterface& sim) { sim.ClearReceived(); });
        rig.ResetCounts();
        clock.ResetMeter();
        const auto start = std::chrono::steady_clock::now();
        flow.run(session);
        pass.wallMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        pass.sleptMs = clock.sleptMs();
        pass.askedMs = clock.askedMs();
        pass.transferMs = rig.transferMs();
    } catch (const wusb::WUsbErr& e) {
        failure = wusb::Message(e);
    } catch (const uwieg::UWiegErr& e) {
        failure = uwieg::Message(e);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    pass.counts = rig.counts();
    pass.controlRequests = rig.controlRequests();
    rig.WithInterface([&](sim::SimInterface& sim) {
        std::vector<std::string> sent;
        for (const auto& command : sim.received()) {
            sent.push_back(CommandText(command));
        }
        if (failure.empty() && sent != flow.commands) {
            failure = "sent \"" + Joined(sent) + "\", expected \"" + Joined(flow.commands) + "\"";
        }
        if (failure.empty() && flow.check) {
            failure = flow.check(session, sim);
        }
    });
    return pass;
}

}  // namespace

FlowResult RunFlow(Rig& rig, MeteredClock& clock, const FlowSpec& flow, int runs) {
    FlowResult result;
    result.minWrites = flow.commands.size();
    result.minReads = flow.commands.size() + static_cast<std::uint64_t>(flow.polls);
    std::vector<double> walls, overslept, transfers, ownWork;
    for (int i = 0; i < runs && result.failure.empty(); ++i) {
        const Pass pass = RunOnce(rig, clock, flow, result.failure);
        walls.push_back(pass.wallMs);
        overslept.push_back(pass.sleptMs - pass.askedMs);
        transfers.push_back(pass.transferMs);
        ownWork.push_back(pass.wallMs - pass.sleptMs - pass.transferMs);
        result.counts.reads = std::max(result.counts.reads, pass.counts.reads);
        result.counts.writes = std::max(result.counts.writes, pass.counts.writes);
        result.counts.timedOutReads =
            std::max(result.counts.timedOutReads, pass.counts.timedOutReads);
        if (pass.controlRequests) {
            result.controlRequests.push_back(*pass.controlRequests);
        }
    }
    result.wallMs = Summarise(walls);
    result.oversleptMs = Summarise(overslept);
    result.transferMs = Summarise(transfers);
    result.ownWorkMs = Summarise(ownWork);
    return result;
}

}  // namespace bench
