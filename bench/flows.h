// The program's hardware flows as the window runs them, each with the waits it must make (its
// floor) and the commands it must send, so that a run can be measured against both.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/device.h"
#include "uwieg/config.h"
#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/upgrade.h"
#include "wusb/clock.h"
#include "wusb/device.h"
#include "wusb/platform.h"

namespace bench {

// The waits of the protocol, restated here so that a flow that loses one is caught.
inline constexpr double kAfterOpenWaitMs = 100;
inline constexpr double kQuietWaitMs = 100;
inline constexpr double kAfterUpgradeWaitMs = 1000;
inline constexpr double kPollTimeoutWaitMs = 100;

// Answers Yes to the upgrade offer; any error or message box is a failed run.
class YesDialogs final : public uwieg::Dialogs {
  public:
    void ShowError(const std::string& text) override;
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string& text) override;
};

// What one run of a flow works with: made fresh for every run, as the window's device object
// is at program start.
struct FlowSession {
    FlowSession(wusb::Platform& platform, wusb::Clock& clock);

    wusb::WUsbDevTab list;
    uwieg::UWiegDev dev;
    YesDialogs dialogs;
    uwieg::SilentUpgradeView view;
    uwieg::ReaderConfig config{};
};

struct FlowSpec {
    std::string name;
    double floorMs = 0;
    // Commands on the wire in order: the interface letter, "T/x" for reader command x.
    std::vector<std::string> commands;
    // Reads that answer no command (the test tab's poll).
    int polls = 0;
    std::function<void(sim::ReaderModel&)> setReader;  // before each run
    std::function<void(FlowSession&)> prepare;         // before each run, not measured
    std::function<void(FlowSession&)> run;             // measured
    // After each run: empty when the flow did its job, else what went wrong.
    std::function<std::string(const FlowSession&, const sim::SimInterface&)> check;
};

// The text of a received command, as FlowSpec::commands writes it.
std::string CommandText(const sim::SimInterface::Received& command);

// Start-up read, read after the test tab, write, test-tab open, one idle poll, and a full
// upgrade of each of `upgradeTypes`.
std::vector<FlowSpec> StandardFlows(const std::vector<int>& upgradeTypes);

}  // namespace bench
