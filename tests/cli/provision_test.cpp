// provision: many readers at once, the audit log, JSON objects, exit codes and the watch, in
// process on simulated interfaces.
#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_fixture.h"
#include "uwieg/audit_log.h"
#include "uwieg/profile.h"
#include "uwieg/sha256.h"

namespace cli_test {
namespace {

using nlohmann::json;

const uwieg::ReaderConfig kRecord{2, 0x80, 7, 1, 0x44, 0, 1, 0};

class Provision : public CliBench {
  protected:
    Provision() { files.Put("site.json", uwieg::ProfileFromRecord(kRecord)); }
    std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The configuration writes interface n has received, read under the platform's lock (which
    // the workers share), so a script can move on with what the interfaces saw.
    int ConfigWrites(int n) {
        int count = 0;
        usb.Modify(n, [&count](sim::SimInterface& d) {
            for (const auto& command : d.received()) {
                count += command.command == 'T' && command.payload.at(0) == 'C';
            }
        });
        return count;
    }
};

TEST_F(Provision, AllInterfacesAtOnceWithTheirAuditRecords) {
    std::vector<std::shared_ptr<sim::SimInterface>> ifaces;
    for (const char* serial : {"000000A1", "000000A2", "000000A3"}) {
        ifaces.push_back(PlugUsb(serial));
    }
    const RunResult r = Run({"provision", "site.json", "--all", "--log", "audit.csv"});
    EXPECT_EQ(r.code, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(lines[i].find("KV-T51X nr 00042  soft 2 → 2  OK"), std::string::npos) << lines[i];
        EXPECT_EQ(ifaces[i]->reader().config, kRecord);
    }
    EXPECT_EQ(lines[3], "Skonfigurowano 3 z 3 czytników; błędów: 0.");
    const auto log = Lines(*files.AfterCrash("audit.csv"));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], uwieg::kAuditHeader);
    const std::string digest = uwieg::Sha256Hex(files.Content("site.json"));
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_NE(log[i].find(",51,42,0,2,2,site.json," + digest + ",ok,"), std::string::npos)
            << log[i];
    }
    EXPECT_TRUE(simReader->received().empty());
}

TEST_F(Provision, EveryListedInterfaceIsCountedRefusedHeldOrBeyondEight) {
    for (int i = 0; i < 9; ++i) {
        PlugUsb("000000B" + std::to_string(i));
    }
    for (const bool denied : {true, false}) {
        sim::SimDeviceInfo info;
        info.denyAccess = denied;
        info.heldElsewhere = !denied;
        usb.Plug(std::make_shared<sim::SimInterface>(), info);
    }
    const RunResult r = Run({"provision", "site.json", "--all", "--log", "audit.csv"});
    EXPECT_EQ(r.code, 3) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 12u) << r.out;
    EXPECT_EQ(lines.back(), "Skonfigurowano 9 z 11 czytników; błędów: 2.");
    EXPECT_NE(r.out.find("sim:10  czytnik nieznany  BŁĄD"), std::string::npos) << r.out;
    const auto log = Lines(files.Content("audit.csv"));
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.find(",ok,") != l.npos; }),
              9);
}

TEST_F(Provision, OneFailingReaderFailsTheRunButNotTheOthers) {
    auto good = PlugUsb("000000A1");
    auto bad = PlugUsb("000000A2");
    bad->InjectFault({sim::FaultKind::NoAnswer, 'T', 'C'});
    const RunResult r = Run({"provision", "site.json", "--all", "--json", "--log", "a.csv"});
    EXPECT_EQ(r.code, 3);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;  // one object per reader, no summary
    int failed = 0;
    for (const std::string& line : lines) {
        const json object = json::parse(line);
        for (const char* key : {"serial", "type", "number", "variant", "firmware_before",
                                "firmware_after", "result", "error", "seconds"}) {
            EXPECT_TRUE(object.contains(key)) << key;
        }
        if (object["result"] == "failed") {
            ++failed;
            EXPECT_EQ(object["serial"], "000000A2");
            EXPECT_TRUE(object["error"].is_string());
        } else {
            EXPECT_TRUE(object["error"].is_null());
        }
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(good->reader().config, kRecord);
    EXPECT_NE(files.Content("a.csv").find(",failed,"), std::string::npos);
}

TEST_F(Provision, AMismatchAloneExitsFourAndWithAReaderThatDoesNotAnswerThree) {
    AlteringPlatform altering(usb);
    platforms.native = &altering;
    PlugUsb("000000A1");
    auto silent = PlugUsb("000000A2");
    const RunResult mismatched = Run({"provision", "site.json", "--all"});
    EXPECT_EQ(mismatched.code, 4) << mismatched.out;
    silent->InjectFault({sim::FaultKind::NoAnswer, 'T', 'C'});
    const RunResult both = Run({"provision", "site.json", "--all"});
    EXPECT_EQ(both.code, 3) << both.out;
    EXPECT_EQ(Lines(both.out).back(), "Skonfigurowano 0 z 2 czytników; błędów: 2.");
}

TEST_F(Provision, TheChosenInterfaceOnlyByDefault) {
    auto first = PlugUsb("000000A1");
    auto second = PlugUsb("000000A2");
    const RunResult r = Run({"provision", "site.json", "--device", "000000A2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(second->reader().config, kRecord);
    EXPECT_NE(first->reader().config, kRecord);
    EXPECT_EQ(r.out.rfind("000000A2  KV-T51X", 0), 0u) << r.out;
}

TEST_F(Provision, HelpDescribesTheLedSignal) {
    const RunResult help = Run({"provision", "--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* word :
         {"--all", "--watch", "--upgrade", "--log", "dwa krótkie", "jeden długi"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
}

TEST_F(Provision, BadProfilesAndBadCallsTouchNoReader) {
    auto iface = PlugUsb("000000A1");
    files.Put("bad.json", "{\"format\": 1}");
    EXPECT_EQ(Run({"provision", "bad.json", "--all"}).code, 5);
    EXPECT_EQ(Run({"provision", "missing.json", "--all"}).code, 1);
    EXPECT_EQ(Run({"provision", "site.json", "--all", "--device", "0"}).code, 1);
    EXPECT_EQ(Run({"provision", "site.json", "--all", "--watch"}).code, 1);
    EXPECT_EQ(Run({"provision"}).code, 1);
    EXPECT_TRUE(iface->received().empty());
    iface.reset();
    usb.Unplug(0);
    const RunResult none = Run({"provision", "site.json", "--all"});
    EXPECT_EQ(none.code, 2);
    EXPECT_EQ(none.err, "trelvo-cli: Nie znaleziono interface'u USB-Wiegand.\n");
}

TEST_F(Provision, TornOrUnsyncedLogLinesAreReportedAndTheRunGoesOn) {
    PlugUsb("000000A1");
    files.Put("a.csv", std::string(uwieg::kAuditHeader) + "\n2026-12-08T07:00:00Z,0000");
    const RunResult r = Run({"provision", "site.json", "--all", "--log", "a.csv"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("2026-12-08T07:00:00Z,0000"), std::string::npos) << r.err;
    const auto log = Lines(files.Content("a.csv"));
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], "2026-12-08T07:00:00Z,0000");
    EXPECT_NE(log[2].find(",ok,"), std::string::npos);

    files.FailAt(trelvo_test::MemoryFiles::Step::kSync, 1);
    const RunResult unsynced = Run({"provision", "site.json", "--all", "--log", "a.csv"});
    EXPECT_EQ(unsynced.code, 0);
    EXPECT_EQ(unsynced.err,
              "trelvo-cli: uwaga: 000000A1: wpis w dzienniku zapisany, bez potwierdzenia zapisu "
              "na dysk: Nie można zapisać pliku „a.csv”: injected failure\n");
    EXPECT_EQ(Lines(files.Content("a.csv")).size(), 4u);
}

TEST_F(Provision, WatchServesPluggedInterfacesAndSwappedReadersUntilInterrupted) {
    PlugUsb("000000A1");
    // The script moves on with what the interfaces saw, not with the fake time that every thread
    // moves on.
    // In real time: the watch's own waits move the fake clock on faster than workers run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int step = 0;
    interrupt.when = [&] {
        if (step == 0 && ConfigWrites(0) == 1) {
            PlugUsb("000000A2");  // plugged in after the start
            ++step;
        } else if (step == 1 && ConfigWrites(1) == 1) {
            usb.Modify(0, [](sim::SimInterface& d) { d.reader().readerNumber = 7; });
            ++step;
        }
        // A worker finishes the reader it has begun before it stops.
        return (step == 2 && ConfigWrites(0) == 2) || std::chrono::steady_clock::now() > deadline;
    };
    const RunResult r = Run({"provision", "site.json", "--watch", "--log", "w.csv"});
    EXPECT_EQ(r.code, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    // Each worker reports as it finishes, so two interfaces' lines may come in either order;
    // one interface's readers come in theirs.
    const auto lineOf = [&lines](const std::string& start) {
        return std::find_if(lines.begin(), lines.end(),
                            [&start](const std::string& l) { return l.rfind(start, 0) == 0; }) -
               lines.begin();
    };
    const auto first = lineOf("000000A1  KV-T51X nr 00042");
    const auto swapped = lineOf("000000A1  KV-T51X nr 00007");
    EXPECT_LT(first, swapped) << r.out;
    EXPECT_LT(swapped, 3) << r.out;
    EXPECT_LT(lineOf("000000A2  KV-T51X nr 00042"), 3) << r.out;
    EXPECT_EQ(lines[3], "Skonfigurowano 3 z 3 czytników; błędów: 0.");
    EXPECT_EQ(Lines(files.Content("w.csv")).size(), 4u);
}

// What a terminal shows of `text`: a carriage return goes back to the start of the line and
// what follows overwrites it, one character (UTF-8 sequence) a column; trailing blanks unseen.
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> shown;
    std::vector<std::string> columns;
    std::size_t column = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
            columns[column - 1] += c;
        } else if (c == '\r' || c == '\n') {
            column = 0;
            if (c == '\n') {
                std::string line;
                for (const std::string& character : columns) {
                    line += character;
                }
                shown.push_back(line.erase(line.find_last_not_of(' ') + 1));
                columns.clear();
            }
        } else {
            columns.resize(std::max(columns.size(), column + 1));
            columns[column++] = std::string(1, c);
        }
    }
    return shown;
}

TEST_F(Provision, WatchOnATerminalKeepsAWaitingLineWithItsCountsCurrent) {
    PlugUsb("000000A1");
    PlugUsb("000000A2");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (const auto& [stdoutTerminal, asJson] :
         {std::pair{true, false}, std::pair{false, false}, std::pair{true, true}}) {
        SCOPED_TRACE(testing::Message() << stdoutTerminal << asJson);
        terminal.stdoutTerminal = stdoutTerminal;
        usb.Modify(1, [](sim::SimInterface& d) {
            d.InjectFault({sim::FaultKind::NoAnswer, 'T', 'C'});
        });
        const int before = ConfigWrites(0);
        // Each worker finishes the reader it has begun before it stops.
        interrupt.when = [&] {
            return (ConfigWrites(0) > before && ConfigWrites(1) > before) ||
                   std::chrono::steady_clock::now() > deadline;
        };
        std::vector<std::string> args{"provision", "site.json", "--watch"};
        if (asJson) {
            args.insert(args.begin(), "--json");
        }
        const RunResult r = Run(args);
        EXPECT_EQ(r.code, 3) << r.err;
        std::vector<std::string> statuses;
        for (std::size_t at = r.out.find("Czekam"); at != std::string::npos;
             at = r.out.find("Czekam", at + 1)) {
            statuses.push_back(r.out.substr(at, r.out.find('\r', at) - at));
        }
        if (!stdoutTerminal || asJson) {
            EXPECT_TRUE(statuses.empty()) << r.out;
            EXPECT_EQ(r.out.find('\r'), std::string::npos);
            continue;
        }
        ASSERT_EQ(statuses.size(), 3u) << r.out;
        EXPECT_EQ(statuses.front(),
                  "Czekam na czytniki (Ctrl+C kończy) · skonfigurowano: 0, błędów: 0");
        EXPECT_EQ(statuses.back(),
                  "Czekam na czytniki (Ctrl+C kończy) · skonfigurowano: 1, błędów: 1");
        // Erased in the end: the terminal shows the result lines and the summary alone.
        const auto shown = Screen(r.out);
        ASSERT_EQ(shown.size(), 3u) << r.out;
        EXPECT_EQ(shown[2], "Skonfigurowano 1 z 2 czytników; błędów: 1.");
    }
}

}  // namespace
}  // namespace cli_test
