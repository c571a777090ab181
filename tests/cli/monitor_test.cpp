// monitor: pacing, its three ends (count, duration, Ctrl+C), the channel always closed, the
// lines exactly the test tab's and the JSON stream one object per line.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_fixture.h"
#include "sim/transmission.h"
#include "uwieg/report.h"

namespace cli_test {
namespace {

using nlohmann::json;

class Monitor : public CliBench {
  protected:
    std::string LineOf(const sim::Transmission& t) {
        return uwieg::FormatReport(t.payload.data(), t.payload.size());
    }
    // Polls that found nothing wait out their time-out.
    std::size_t Polls() const { return simulated.counts().timedOutReads; }
    static std::string Hex(const sim::Bytes& bytes, std::size_t from) {
        std::string text;
        for (std::size_t i = from; i < bytes.size(); ++i) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(bytes[i]));
            text += digits;
        }
        return text;
    }

    const sim::Transmission card = sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x40});
    const sim::Transmission key = sim::Transmission::Key(4, 0x07);
    const sim::Transmission parity =
        sim::Transmission::CardWithParity(24, {0xAB, 0xCD, 0xEF}, false, true, true, false);
};

TEST_F(Monitor, CountEndsAfterThatManyTransmissionsAndClosesTheChannel) {
    simReader->Present(card);
    simReader->Present(key);
    simReader->Present(parity);
    const RunResult r = Run({"--sim", "monitor", "--count", "2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, LineOf(card) + "\n" + LineOf(key) + "\n");
    EXPECT_EQ(Wire(*simReader), "O o ");
    EXPECT_EQ(simReader->received()[0].payload, (sim::Bytes{0}));
    EXPECT_FALSE(simReader->channelOpen());
    EXPECT_EQ(simReader->pendingTransmissions(), 1u);
}

TEST_F(Monitor, JsonIsOneObjectPerLine) {
    clock.Set({1709251199, 998});  // 2024-02-29T23:59:59.998Z
    simReader->Present(key);
    simReader->Present(parity);
    const RunResult r = Run({"--sim", "--json", "monitor", "--count", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string first;
    std::string second;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(json::parse(first), json::parse(R"({"time":"2024-02-29T23:59:59.998Z",
        "line":")" + LineOf(key) + R"(","kind":"key","bits":4,"data":"70"})"));
    const json p = json::parse(second);
    EXPECT_EQ(p.at("kind"), "card_with_parity");
    EXPECT_EQ(p.at("bits"), 24);
    EXPECT_EQ(p.at("line"), LineOf(parity));
    EXPECT_EQ(p.at("data"), Hex(parity.payload, 1));
    EXPECT_EQ(p.at("time"), "2024-03-01T00:00:00.198Z");
}

TEST_F(Monitor, DurationPollsEvery200MsUntilItEnds) {
    const wusb::TimeStamp start = clock.Now();
    const RunResult r = Run({"--sim", "monitor", "--duration", "1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    // Polls at 0, 200, 400, 600 and 800 ms; the 100 ms poll time-out is inside each period.
    EXPECT_EQ(Polls(), 5u);
    EXPECT_EQ(wusb::ElapsedMs(start, clock.Now()), 1000);
    EXPECT_EQ(Wire(*simReader), "O o ");
}

TEST_F(Monitor, CtrlCEndsItCleanlyWithExitZero) {
    const wusb::TimeStamp start = clock.Now();
    interrupt.when = [&] { return wusb::ElapsedMs(start, clock.Now()) >= 600; };
    simReader->Present(card);
    const RunResult r = Run({"--sim", "monitor"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, LineOf(card) + "\n");
    EXPECT_EQ(Wire(*simReader), "O o ");
    EXPECT_FALSE(simReader->channelOpen());
}

TEST_F(Monitor, AnInterfaceUnpluggedWhileMonitoredExitsThree) {
    const wusb::TimeStamp start = clock.Now();
    interrupt.when = [&] {
        if (wusb::ElapsedMs(start, clock.Now()) >= 400 && simulated.IsPlugged(0)) {
            simulated.Unplug(0);
        }
        return false;
    };
    const RunResult r = Run({"--sim", "monitor"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err.rfind("trelvo-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one message: " << r.err;
}

}  // namespace
}  // namespace cli_test
