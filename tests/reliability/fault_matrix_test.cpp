// Every exchange of every window flow against every fault the simulated interface can inject:
// the text of the error box, what the window shows, the host's channel state and what the reader
// holds afterwards; then, with the fault gone, the next read must work.
#include <QMetaObject>
#include <QProgressBar>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "app/widgets/RadioGroup.h"
#include "memo_lines.h"
#include "reliability_fixture.h"
#include "sim/firmware.h"
#include "sim/reader.h"
#include "sim/transmission.h"
#include "uwieg/report.h"

namespace reliability {
namespace {

using sim::FaultKind;

enum class Flow { StartUp, ReadButton, Write, Upgrade, TestOpen, Poll, OutputTest, Close };

// One exchange on the wire. Command 0 is the enumeration with which the flow begins, 'W' the
// poll of a transmission report; `skip` counts the matching commands earlier in the flow.
struct Step {
    const char* name;
    std::uint8_t command;
    std::uint8_t readerCommand;
    int skip;
};

struct FlowSpec {
    Flow flow;
    const char* name;
    bool openAtStart;  // the host's channel state when the flow begins
    // The last answer the interface gave before the flow: what a stale frame repeats. Before
    // any answer, the simulator repeats a close acknowledgement.
    std::uint8_t priorCommand;
    std::uint8_t priorReaderCommand;
    std::vector<Step> steps;
};

const int kBlocks = sim::TestImageSpec(51).blockCount;
const std::uint16_t kImageVersion = sim::TestImageSpec(51).version;
const uwieg::ReaderConfig kWrittenRecord{2, 0xC0, 77, 3, 0x45, 0, 1, 0};
const std::string kLedTimeWritten = "77";
const std::string kPipeTimeoutFailure = "Błąd zapisu Pipe Timeout.";
const std::string kInvalidRecord = "Czytnik zawiera nieprawidłową konfigurację.";

const std::vector<FlowSpec>& Flows() {
    static const Step kEnumerate{"enumerate", 0, 0, 0};
    static const std::vector<FlowSpec> flows = {
        {Flow::StartUp,
         "startup",
         false,
         'o',
         0,
         {kEnumerate, {"O", 'O', 0, 0}, {"M", 'T', 'M', 0}, {"c", 'T', 'c', 0}, {"o", 'o', 0, 0}}},
        // The start-up read closed the channel a moment ago, so the read begins with the
        // quiet-period close.
        {Flow::ReadButton,
         "read",
         false,
         'o',
         0,
         {kEnumerate,
          {"quiet_o", 'o', 0, 0},
          {"O", 'O', 0, 0},
          {"M", 'T', 'M', 0},
          {"c", 'T', 'c', 0},
          {"close_o", 'o', 0, 1}}},
        {Flow::Write,
         "write",
         false,
         'o',
         0,
         {kEnumerate,
          {"quiet_o", 'o', 0, 0},
          {"O", 'O', 0, 0},
          {"M", 'T', 'M', 0},
          {"C", 'T', 'C', 0},
          {"close_o", 'o', 0, 1}}},
        // Inside the start-up read, after its 'O' and 'M': skips count those too.
        {Flow::Upgrade,
         "upgrade",
         true,
         'T',
         'M',
         {{"Z", 'T', 'Z', 0},
          {"Y_first", 'T', 'Y', 0},
          {"Y_middle", 'T', 'Y', kBlocks / 2},
          {"Y_last", 'T', 'Y', kBlocks - 1},
          {"y", 'T', 'y', 0},
          {"z", 'T', 'z', 0},
          {"reconnect_o", 'o', 0, 0},
          {"reconnect_O", 'O', 0, 1},
          {"reconnect_M", 'T', 'M', 1}}},
        {Flow::TestOpen, "test_open", false, 'o', 0, {kEnumerate, {"O", 'O', 0, 0}}},
        {Flow::Poll, "poll", true, 'O', 0, {{"report", 'W', 0, 0}}},
        {Flow::OutputTest, "output", true, 'O', 0, {kEnumerate, {"S", 'S', 0, 0}}},
        {Flow::Close, "close", true, 'O', 0, {kEnumerate, {"o", 'o', 0, 0}}},
    };
    return flows;
}

const std::vector<FaultKind> kAllFaults = {
    FaultKind::Unplug,       FaultKind::NoAnswer,     FaultKind::Nak,
    FaultKind::WrongLength,  FaultKind::CorruptCrc,   FaultKind::StaleBefore,
    FaultKind::ReportBefore, FaultKind::InvalidFlood, FaultKind::ReaderStatus,
};

const char* FaultName(FaultKind k) {
    switch (k) {
        case FaultKind::Unplug:
            return "Unplug";
        case FaultKind::NoAnswer:
            return "NoAnswer";
        case FaultKind::Nak:
            return "Nak";
        case FaultKind::WrongLength:
            return "WrongLength";
        case FaultKind::CorruptCrc:
            return "CorruptCrc";
        case FaultKind::StaleBefore:
            return "StaleBefore";
        case FaultKind::ReportBefore:
            return "ReportBefore";
        case FaultKind::InvalidFlood:
            return "InvalidFlood";
        case FaultKind::ReaderStatus:
            return "ReaderStatus";
    }
    return "Unknown";
}

// The cells that cannot exist, and why:
// - Before the enumeration nothing is exchanged: the only fault is the interface being gone.
// - A report is not an answer: it carries no acknowledgement (Nak), no reader status, and no
//   expected length (a longer one is simply another report); a report before a report is just
//   two reports. Its faults act on the IN transfer (lost, damaged, preceded by foreign frames)
//   or the interface vanishing while the tab monitors.
// - Only the reader's status commands ('C', 'Z', 'Y', 'y', 'z') have a status to refuse with.
bool Applies(const Step& step, FaultKind k) {
    if (step.command == 0) {
        return k == FaultKind::Unplug;
    }
    if (step.command == 'W') {
        return k == FaultKind::Unplug || k == FaultKind::NoAnswer || k == FaultKind::CorruptCrc ||
               k == FaultKind::StaleBefore || k == FaultKind::InvalidFlood;
    }
    if (k == FaultKind::ReaderStatus) {
        return step.command == 'T' && sim::IsStatusCommand(step.readerCommand);
    }
    return true;
}

struct Cell {
    std::size_t flow;
    std::size_t step;
    FaultKind fault;
};

// gtest prints the cell of a failure with this.
std::string CellText(const Cell& cell);
void PrintTo(const Cell& cell, std::ostream* os) {
    *os << CellText(cell);
}

struct Tally {
    int cells = 0;
    int notApplicable = 0;
    int run = 0;
    int passed = 0;
};

Tally& MatrixTally() {
    static Tally tally;
    return tally;
}

std::vector<Cell> AllCells() {
    std::vector<Cell> cells;
    Tally& tally = MatrixTally();
    tally = {};
    for (std::size_t f = 0; f < Flows().size(); ++f) {
        for (std::size_t s = 0; s < Flows()[f].steps.size(); ++s) {
            for (FaultKind k : kAllFaults) {
                if (Applies(Flows()[f].steps[s], k)) {
                    cells.push_back({f, s, k});
                } else {
                    ++tally.notApplicable;
                }
            }
        }
    }
    tally.cells = static_cast<int>(cells.size());
    return cells;
}

class MatrixReport : public ::testing::Environment {
  public:
    void TearDown() override {
        const Tally& t = MatrixTally();
        if (t.run > 0) {
            std::printf(
                "fault matrix: %d/%d cells passed (%d cells in the matrix, %d not "
                "applicable)\n",
                t.passed, t.run, t.cells, t.notApplicable);
        }
    }
};

[[maybe_unused]] ::testing::Environment* const kMatrixReport =
    ::testing::AddGlobalTestEnvironment(new MatrixReport);

// What a cell must end in.
enum class Result {
    Completed,    // no error: the flow did its work
    Failed,       // the error box, then the flow's failure state
    ReportLost,   // the report never became a line, without an error
    StaleRecord,  // an identity answer stood in for the record
};

struct Expectation {
    Result result = Result::Completed;
    std::string error;
};

std::size_t AnswerLength(std::uint8_t readerCommand) {
    return sim::IsStatusCommand(readerCommand) ? 1 : 8;
}

std::string FailureText(const Step& step, FaultKind k) {
    if (step.command == 'T') {
        return kCommFailure;
    }
    const std::string letter(1, static_cast<char>(step.command));
    return (k == FaultKind::Nak ? "Brak ACK., rozk: " : "Brak odpowiedzi., rozk: ") + letter;
}

// A stale frame repeats the previous answer. The host pairs answers with requests by command
// byte alone, so only a repeated tunnel answer can stand in for the awaited one: harmlessly
// when both are status answers, as the record when an identity precedes the record, and as a
// malformed answer when their lengths differ.
Expectation StaleOutcome(std::uint8_t priorCommand, std::uint8_t priorReader, const Step& step) {
    if (priorCommand != step.command || step.command != 'T') {
        return {};
    }
    if (AnswerLength(priorReader) != AnswerLength(step.readerCommand)) {
        return {Result::Failed, kCommFailure};
    }
    if (step.readerCommand == 'c') {
        return {Result::StaleRecord, kInvalidRecord};
    }
    return {};
}

Expectation Expect(const FlowSpec& flow, std::size_t index, FaultKind k) {
    const Step& step = flow.steps[index];
    if (step.command == 0) {
        return {Result::Failed, kNoInterface};
    }
    if (step.command == 'W') {
        if (k == FaultKind::Unplug) {
            return {Result::Failed, kPipeTimeoutFailure};
        }
        if (k == FaultKind::NoAnswer || k == FaultKind::CorruptCrc) {
            return {Result::ReportLost, {}};
        }
        return {};
    }
    switch (k) {
        case FaultKind::ReportBefore:
        case FaultKind::InvalidFlood:
            return {};
        case FaultKind::StaleBefore: {
            const bool first = index == 0;
            const Step& prior = first ? Step{"", flow.priorCommand, flow.priorReaderCommand, 0}
                                      : flow.steps[index - 1];
            return StaleOutcome(prior.command, prior.readerCommand, step);
        }
        default:
            return {Result::Failed, FailureText(step, k)};
    }
}

// Whether the interface acted on the command the fault hit (it is refused or never arrives
// under the other faults).
bool Executes(FaultKind k) {
    return k != FaultKind::Unplug && k != FaultKind::Nak && k != FaultKind::ReaderStatus;
}

// Whether the reader acted on `command` (and reader command): every command of a flow that ran
// to its end did; of a failed flow those before the failing step did, and that step when the
// fault let it through.
bool TookEffect(const FlowSpec& flow, std::size_t index, FaultKind k, const Expectation& e,
                std::uint8_t command, std::uint8_t readerCommand) {
    const std::size_t last = e.result == Result::Failed ? index : flow.steps.size() - 1;
    for (std::size_t i = 0; i <= last; ++i) {
        const Step& s = flow.steps[i];
        if (s.command == command && s.readerCommand == readerCommand) {
            return i != index || e.result != Result::Failed || Executes(k);
        }
    }
    return false;
}

// The host's channel state when step `index` begins: only acknowledged 'O' and 'o' change it.
bool OpenBefore(const FlowSpec& flow, std::size_t index) {
    bool open = flow.openAtStart;
    for (std::size_t i = 0; i < index; ++i) {
        if (flow.steps[i].command == 'O') {
            open = true;
        } else if (flow.steps[i].command == 'o') {
            open = false;
        }
    }
    return open;
}

class FaultMatrix : public ReliabilityTest, public ::testing::WithParamInterface<Cell> {
  protected:
    void TearDown() override {
        Tally& t = MatrixTally();
        ++t.run;
        if (!HasFailure()) {
            ++t.passed;
        }
        ReliabilityTest::TearDown();
    }

    const FlowSpec& flow() const { return Flows()[GetParam().flow]; }
    const Step& step() const { return flow().steps[GetParam().step]; }
    FaultKind fault() const { return GetParam().fault; }

    // The window as the flow finds it.
    void Prepare() {
        switch (flow().flow) {
            case Flow::StartUp:
                Build();
                break;
            case Flow::Upgrade:
                reader().firmwareVersion = 1;
                dialogs.answers = {true};
                Build();
                break;
            case Flow::ReadButton:
            case Flow::TestOpen:
                Build();
                StartUp();
                break;
            case Flow::Write:
                Build();
                StartUp();
                win->LedTim->setText(QString::fromStdString(kLedTimeWritten));
                break;
            case Flow::Poll:
            case Flow::OutputTest:
            case Flow::Close:
                Build();
                StartUp();
                ShowTestTab();
                break;
        }
        ASSERT_TRUE(dialogs.Errors().empty());
        originalRecord = reader().config;
        originalFirmware = reader().firmwareVersion;
        labelBefore = win->RdLbl->text();
        writeEnabledBefore = win->WrBtn->isEnabled();
        configBefore = win->config;
    }

    void Inject() {
        const Step& s = step();
        if (fault() == FaultKind::Unplug && (s.command == 0 || s.command == 'W')) {
            platform.Unplug(deviceNumber);
        } else if (s.command == 'W') {
            faulty.InjectIn(fault() == FaultKind::NoAnswer      ? InFault::Lost
                            : fault() == FaultKind::CorruptCrc  ? InFault::CorruptCrc
                            : fault() == FaultKind::StaleBefore ? InFault::StaleBefore
                                                                : InFault::InvalidFlood);
        } else {
            iface->InjectFault({fault(), s.command, s.readerCommand, s.skip});
        }
    }

    void Tick() { QMetaObject::invokeMethod(win->Timer, "timeout", Qt::DirectConnection); }

    void Act() {
        switch (flow().flow) {
            case Flow::StartUp:
            case Flow::Upgrade:
                StartUp();
                break;
            case Flow::ReadButton:
                win->RdBtn->click();
                break;
            case Flow::Write:
                win->WrBtn->click();
                break;
            case Flow::TestOpen:
                ShowTestTab();
                break;
            case Flow::Poll:
                Poll();
                break;
            case Flow::OutputTest:
                win->LedRGrp->setItemIndex(1);
                break;
            case Flow::Close:
                win->close();
                break;
        }
    }

    // A report presented, then ticks until its line appears; the flood needs a tick per frame.
    // With the interface gone every tick fails alike, so one is enough.
    void Poll() {
        linesBefore = MemoLines(*win->TstWin);
        iface->Present(report);
        const int ticks = fault() == FaultKind::Unplug ? 1 : 40;
        for (int tick = 0; tick < ticks && MemoLines(*win->TstWin) == linesBefore; ++tick) {
            Tick();
        }
    }

    void CheckReadFlow(const Expectation& e) {
        const std::size_t index = GetParam().step;
        switch (e.result) {
            case Result::Completed:
                ExpectReaderShown();
                break;
            case Result::StaleRecord:
                EXPECT_EQ(win->RdLbl->text(), ReaderDescription());
                EXPECT_TRUE(win->WrBtn->isEnabled());
                EXPECT_EQ(win->config[0], static_cast<std::uint8_t>(reader().readerNumber))
                    << "the identity stood in for the record";
                break;
            case Result::Failed:
                if (step().command == 0) {
                    EXPECT_EQ(win->RdLbl->text(), labelBefore) << "nothing else changes";
                    EXPECT_EQ(win->WrBtn->isEnabled(), writeEnabledBefore);
                } else {
                    ExpectNotResponding();
                }
                EXPECT_EQ(win->device.channelOpen, OpenBefore(flow(), index));
                if (flow().flow != Flow::Write) {
                    const bool recordRead = TookEffect(flow(), index, fault(), e, 'T', 'c') &&
                                            step().readerCommand != 'c';
                    EXPECT_EQ(win->config, recordRead ? reader().config : configBefore);
                }
                break;
            case Result::ReportLost:
                ADD_FAILURE() << "no report in this flow";
                break;
        }
        const bool written =
            flow().flow == Flow::Write && TookEffect(flow(), index, fault(), e, 'T', 'C');
        EXPECT_EQ(reader().config, written ? kWrittenRecord : originalRecord)
            << "the reader holds the old record or the new one";
        if (flow().flow == Flow::Write) {
            EXPECT_EQ(win->LedTim->text().toStdString(), kLedTimeWritten);
        }
    }

    void CheckUpgrade(const Expectation& e) {
        const bool installed = TookEffect(flow(), GetParam().step, fault(), e, 'T', 'z');
        EXPECT_EQ(reader().firmwareVersion, installed ? kImageVersion : originalFirmware);
        EXPECT_EQ(iface->completedUpgrades(), installed ? 1 : 0);
        if (e.result != Result::Failed) {
            EXPECT_TRUE(win->UpgrLbl->isHidden());
            EXPECT_TRUE(win->UpgrProgrBar->isHidden());
            return;
        }
        // A failed command leaves the label and the bar where the upgrade stopped.
        const std::uint8_t r = step().command == 'T' ? step().readerCommand : 0;
        const bool streaming = r == 'Z' || r == 'Y' || r == 'y' || r == 'z';
        EXPECT_EQ(win->UpgrLbl->isHidden(), !streaming);
        EXPECT_EQ(win->UpgrProgrBar->isHidden(), !streaming || r == 'Z');
        if (r == 'Y') {
            EXPECT_EQ(win->UpgrProgrBar->value(), step().skip);
        } else if (r == 'y' || r == 'z') {
            EXPECT_EQ(win->UpgrProgrBar->value(), kBlocks);
        }
    }

    void CheckTestTab(const Expectation& e) {
        switch (flow().flow) {
            case Flow::TestOpen:
                EXPECT_EQ(win->Timer->isActive(), e.result == Result::Completed);
                EXPECT_EQ(win->device.channelOpen, e.result == Result::Completed);
                if (e.result == Result::Completed) {
                    EXPECT_TRUE(iface->channelOpen());
                    EXPECT_EQ(iface->channelMode(), 0);
                }
                break;
            case Flow::Poll: {
                // The timer keeps running whatever the tick met.
                EXPECT_TRUE(win->Timer->isActive());
                std::vector<std::string> expected = linesBefore;
                if (e.result == Result::Completed) {
                    expected.push_back(
                        uwieg::FormatReport(report.payload.data(), report.payload.size()));
                }
                EXPECT_EQ(MemoLines(*win->TstWin), expected);
                if (e.result == Result::ReportLost) {
                    // Nothing of the lost report lingers: the next one is a line of its own.
                    iface->Present(report);
                    Tick();
                    expected.push_back(
                        uwieg::FormatReport(report.payload.data(), report.payload.size()));
                    EXPECT_EQ(MemoLines(*win->TstWin), expected);
                }
                break;
            }
            case Flow::OutputTest:
                EXPECT_EQ(win->LedRGrp->itemIndex(), 1) << "the group keeps the user's choice";
                EXPECT_EQ(iface->outputLines(), e.result == Result::Completed ||
                                                        (step().command != 0 && Executes(fault()))
                                                    ? 1
                                                    : 0);
                break;
            case Flow::Close:
                EXPECT_FALSE(win->isVisible()) << "the window closes in every case";
                EXPECT_EQ(win->device.channelOpen, e.result != Result::Completed);
                if (e.result == Result::Completed) {
                    EXPECT_FALSE(iface->channelOpen());
                }
                break;
            default:
                break;
        }
        EXPECT_EQ(reader().config, originalRecord);
        EXPECT_EQ(reader().firmwareVersion, originalFirmware);
        if (step().command != 0) {
            EXPECT_EQ(win->RdLbl->text(), labelBefore);
        }
    }

    // With the fault gone and the interface back, a read (a new program for a closed window)
    // shows the reader, and an upgrade left undone is offered and completed.
    void NextReadSucceeds() {
        ClearFaults();
        const bool offerExpected = reader().firmwareVersion < kImageVersion;
        dialogs.shown.clear();
        dialogs.answers = {true};
        if (!win->isVisible()) {
            Build();
            StartUp();
        } else if (win->PageControl1->currentIndex() == 1) {
            ShowConfigTab();
        } else {
            win->RdBtn->click();
        }
        EXPECT_TRUE(dialogs.Errors().empty()) << dialogs.Errors().front();
        const bool offered =
            std::any_of(dialogs.shown.begin(), dialogs.shown.end(),
                        [](const auto& s) { return s.kind == RecordingDialogs::Shown::Question; });
        EXPECT_EQ(offered, offerExpected);
        EXPECT_EQ(reader().firmwareVersion,
                  flow().flow == Flow::Upgrade ? kImageVersion : originalFirmware);
        ExpectReaderShown();
    }

    const sim::Transmission report = sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x40});
    std::vector<std::string> linesBefore;
    std::array<std::uint8_t, 8> originalRecord{};
    std::uint16_t originalFirmware = 0;
    QString labelBefore;
    bool writeEnabledBefore = false;
    uwieg::ReaderConfig configBefore{};
};

TEST_P(FaultMatrix, Cell) {
    PlugReader();
    ASSERT_NO_FATAL_FAILURE(Prepare());
    Inject();
    Act();

    const Expectation e = Expect(flow(), GetParam().step, fault());
    std::vector<std::string> errors;
    if (!e.error.empty()) {
        errors.push_back(e.error);
    }
    EXPECT_EQ(dialogs.Errors(), errors);
    switch (flow().flow) {
        case Flow::StartUp:
        case Flow::ReadButton:
        case Flow::Write:
            CheckReadFlow(e);
            break;
        case Flow::Upgrade:
            CheckReadFlow(e);
            CheckUpgrade(e);
            break;
        default:
            CheckTestTab(e);
            break;
    }
    NextReadSucceeds();
}

std::string CellText(const Cell& cell) {
    const FlowSpec& f = Flows()[cell.flow];
    return std::string(f.name) + "_" + f.steps[cell.step].name + "_" + FaultName(cell.fault);
}

std::string CellName(const ::testing::TestParamInfo<Cell>& info) {
    return CellText(info.param);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(AllCells()), CellName);

}  // namespace
}  // namespace reliability
