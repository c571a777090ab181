// monitor: pacing, its three ends (count, duration, Ctrl+C), the channel always closed, the
// lines exactly the test tab's and the JSON stream one object per line.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_fixture.h"
#include "sim/transmission.h"
#include "uwieg/report.h"
#include "wiegand/encode.h"

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

// The wall clock set back or forward an hour 400 ms into the run changes nothing: the waits
// and the duration are measured on the monotonic clock.
constexpr std::int64_t kWallSteps[] = {0, -3'600'000, 3'600'000};

TEST_F(Monitor, DurationPollsEvery200MsUntilItEnds) {
    for (const std::int64_t step : kWallSteps) {
        SCOPED_TRACE(step);
        simulated.ResetCounts();
        const wusb::Instant start = clock.Monotonic();
        bool stepped = false;
        interrupt.when = [&] {
            if (!stepped && wusb::ElapsedMs(start, clock.Monotonic()) >= 400) {
                clock.StepWall(step);
                stepped = true;
            }
            return false;
        };
        const RunResult r = Run({"--sim", "monitor", "--duration", "1"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "");
        // Polls at 0, 200, 400, 600 and 800 ms; the 100 ms poll time-out is inside each period.
        EXPECT_EQ(Polls(), 5u);
        EXPECT_EQ(wusb::ElapsedMs(start, clock.Monotonic()), 1000);
        EXPECT_LE(clock.longestSleep(), 250u);
    }
    EXPECT_EQ(Wire(*simReader), "O o O o O o ");
}

TEST_F(Monitor, CtrlCEndsItCleanlyWithExitZero) {
    for (const std::int64_t step : kWallSteps) {
        SCOPED_TRACE(step);
        const wusb::Instant start = clock.Monotonic();
        bool stepped = false;
        interrupt.when = [&] {
            const std::int64_t elapsed = wusb::ElapsedMs(start, clock.Monotonic());
            if (!stepped && elapsed >= 400) {
                clock.StepWall(step);
                stepped = true;
            }
            return elapsed >= 600;
        };
        simReader->Present(card);
        const RunResult r = Run({"--sim", "monitor"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, LineOf(card) + "\n");
        EXPECT_LT(wusb::ElapsedMs(start, clock.Monotonic()), 600 + 250);
        EXPECT_FALSE(simReader->channelOpen());
    }
    EXPECT_EQ(Wire(*simReader), "O o O o O o ");
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

TEST_F(Monitor, DecodePutsTheBestReadingAfterEachLine) {
    sim::Transmission h10301;
    h10301.payload = wiegand::EncodeReport(*wiegand::FindFormat("H10301"), 18, 13398,
                                           wiegand::ParityChoice::WrongBegin, true);
    simReader->Present(h10301);
    simReader->Present(key);
    const RunResult r = Run({"--sim", "monitor", "--decode", "--count", "2"});
    EXPECT_EQ(r.code, 0) << r.err;
    // The reader's configuration is read first (64+2 bits): this card is not its frame.
    EXPECT_EQ(r.out, LineOf(h10301) +
                         "   | 26 bit H10301 · FC 18 · CN 13398 · parzystość błędna (początkowa) · "
                         "niezgodna z konfiguracją czytnika (64+2 bity)\n" +
                         LineOf(key) + "   | klawisz 7\n");
    EXPECT_EQ(Wire(*simReader), "O TM Tc o O o ");
}

TEST_F(Monitor, DecodeReadsAsTheReaderIsConfiguredUnlessToldNot) {
    simReader->reader().config[4] = 0x61;  // 32+2 bits, Lo...Hi
    // A camera manual's Wiegand34 coding of card 1234567890, its bytes sent low first.
    const auto frame =
        sim::Transmission::CardWithParity(32, {0xD2, 0x02, 0x96, 0x49}, false, true, true, false);
    simReader->Present(frame);
    simReader->Present(frame);
    const RunResult r = Run({"--sim", "monitor", "--decode", "--count", "1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, LineOf(frame) +
                         "   | 34 bit 32+2 (konfiguracja czytnika) · CN 1234567890 · hex D2029649 "
                         "(odwrotnie 499602D2) · parzystość OK · jeszcze 1 odczyt · zgodna z "
                         "konfiguracją czytnika\n");
    const RunResult bare =
        Run({"--sim", "--json", "monitor", "--decode", "--no-config", "--count", "1"});
    EXPECT_EQ(bare.code, 0) << bare.err;
    const json object = json::parse(bare.out);
    EXPECT_EQ(object.at("formats")[1], json::parse(R"({"name":"32+2","bits":34,"card":3523384905,
        "hex":"d2029649","hex_reversed":"499602d2","parity":"ok"})"));
    EXPECT_FALSE(object.contains("reader"));
    EXPECT_EQ(Wire(*simReader), "O TM Tc o O o O o ");
}

TEST_F(Monitor, DecodeReadsTheUsersFormatsAndRefusesABrokenFile) {
    files.Put("/site.json", R"({"format": "trelvo-formats", "version": 1, "formats": [
        {"name": "SITE-30", "bits": 30, "fields": [{"name": "card", "first": 1, "width": 30}]}]})");
    const auto card30 = sim::Transmission::Card(30, {0x12, 0x34, 0x56, 0x78});
    simReader->Present(card30);
    const RunResult r = Run(
        {"--sim", "monitor", "--decode", "--no-config", "--formats", "/site.json", "--count", "1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              LineOf(card30) + "   | 30 bit SITE-30 · CN 76354974 · bez bitów parzystości\n");

    files.Put("/site.json", R"({"format": "trelvo-formats", "version": 1, "formats": [
        {"name": "SITE-30", "bits": 30, "fields": [{"name": "card", "first": 2, "width": 30}]}]})");
    const RunResult broken = Run({"--sim", "monitor", "--decode", "--formats", "/site.json"});
    EXPECT_EQ(broken.code, 5);
    EXPECT_EQ(broken.err,
              "trelvo-cli: Pominięto plik formatów „/site.json”: 2:52: klucz "
              "„formats[0].fields[0]”: pole wychodzi poza ramkę\n");
    EXPECT_EQ(Run({"--sim", "formats", "--formats", "/missing.json"}).code, 5);
    EXPECT_EQ(simReader->pendingTransmissions(), 0u);
}

TEST_F(Monitor, FormatsPrintsTheTableInTheFileSchema) {
    const RunResult r = Run({"--json", "formats"});
    ASSERT_EQ(r.code, 0) << r.err;
    const json table = json::parse(r.out);
    EXPECT_EQ(table.at("format"), "trelvo-formats");
    EXPECT_EQ(table.at("formats").size(), wiegand::BuiltInTable().size());
    EXPECT_EQ(table.at("formats")[0].at("name"), "H10301");
    // The printed table is a valid file of one's own.
    files.Put("/mine.json", r.out);
    EXPECT_EQ(Run({"formats", "--formats", "/mine.json"}).out, Run({"formats"}).out);
}

TEST_F(Monitor, DecodeJsonListsEveryReadingWithItsOwnFieldsAndTheUid) {
    sim::Transmission c1000;
    c1000.payload = wiegand::EncodeReport(*wiegand::FindFormat("C1000-35"), 3522, 1048575,
                                          wiegand::ParityChoice::Right, false);
    sim::Transmission h10304;
    h10304.payload = wiegand::EncodeReport(*wiegand::FindFormat("H10304"), 42, 69,
                                           wiegand::ParityChoice::WrongEnd, true);
    simReader->Present(c1000);
    simReader->Present(h10304);
    simReader->Present(key);
    const RunResult r = Run({"--sim", "--json", "monitor", "--decode", "--count", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string text[3];
    for (std::string& line : text) {
        std::getline(lines, line);
    }
    const json first = json::parse(text[0]);
    EXPECT_EQ(first.at("formats"), json::parse(R"([{"name":"C1000-35","bits":35,
        "company":3522,"card":1048575,"parity":"ok"}])"));
    // The UID is the company code and card number without the three parity bits.
    EXPECT_EQ(first.at("uid"), json::parse(R"({"hex":"dc2fffff","hex_reversed":"ffff2fdc",
        "decimal":3694133247})"));
    EXPECT_EQ(first.at("reader"),
              json::parse(R"({"frame":"64+2","byte_order":"hi-lo","matches":false})"));
    EXPECT_EQ(first.at("kind"), "card");

    const json second = json::parse(text[1]);
    ASSERT_EQ(second.at("formats").size(), 2u);
    EXPECT_EQ(second.at("formats")[0], json::parse(R"({"name":"H10304","bits":37,
        "facility":42,"card":69,"parity":"end"})"));
    EXPECT_EQ(second.at("formats")[1].at("name"), "H10302");
    EXPECT_FALSE(second.at("formats")[1].contains("facility"));
    EXPECT_EQ(second.at("uid").at("hex").get<std::string>().size(), 10u);

    // A key: no readings, no UID.
    const json third = json::parse(text[2]);
    EXPECT_EQ(third.at("formats"), json::array());
    EXPECT_FALSE(third.contains("uid"));
}

TEST_F(Monitor, WithoutDecodeTheObjectsStayAsTheyWere) {
    simReader->Present(card);
    const RunResult r = Run({"--sim", "--json", "monitor", "--count", "1"});
    ASSERT_EQ(r.code, 0) << r.err;
    const json object = json::parse(r.out);
    EXPECT_FALSE(object.contains("formats"));
    EXPECT_FALSE(object.contains("uid"));
}

}  // namespace
}  // namespace cli_test
