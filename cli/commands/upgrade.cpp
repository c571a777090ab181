// upgrade: the window's upgrade check and sequence with the built-in firmware. It asks on a
// terminal unless --yes; with neither it refuses before touching the interface.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/progress.h"
#include "cli/reader_session.h"
#include "uwieg/identity.h"
#include "uwieg/upgrade.h"

namespace cli {

namespace {

struct UpgradeOptions {
    bool yes = false;
};

const char* OutcomeName(uwieg::UpgradeOutcome outcome) {
    switch (outcome) {
        case uwieg::UpgradeOutcome::Current:
            return "current";
        case uwieg::UpgradeOutcome::Declined:
            return "declined";
        case uwieg::UpgradeOutcome::BadImage:
            return "bad_image";
        case uwieg::UpgradeOutcome::Done:
            break;
    }
    return "done";
}

const char* OutcomeText(uwieg::UpgradeOutcome outcome) {
    switch (outcome) {
        case uwieg::UpgradeOutcome::Current:
            return "Oprogramowanie czytnika jest aktualne.";
        case uwieg::UpgradeOutcome::Declined:
            return "Upgrade nie został wykonany.";
        case uwieg::UpgradeOutcome::BadImage:
            return "Upgrade nie został wykonany.";
        case uwieg::UpgradeOutcome::Done:
            break;
    }
    return "Upgrade wykonany.";
}

int RunUpgrade(const Context& context, const UpgradeOptions& options) {
    if (!options.yes && !context.env.terminal.StdinIsTerminal()) {
        context.Error(
            "upgrade wymaga potwierdzenia, a wejście nie jest terminalem: dodaj --yes, aby "
            "wykonać go bez pytania.");
        return kExitUsage;
    }
    ReaderSession session(context, options.yes);
    UpgradeProgress progress(context.env.err, context.env.terminal.StderrIsTerminal());
    uwieg::UpgradeOutcome outcome = uwieg::UpgradeOutcome::Current;
    std::uint16_t firmwareBefore = 0;
    const int exitCode = session.RunReaderFlow([&] {
        firmwareBefore = session.dev().firmwareVersion;
        outcome = uwieg::UpgrCheck(session.dev(), session.dialogs(), progress);
    });
    if (exitCode != kExitDone) {
        return exitCode;
    }
    if (outcome == uwieg::UpgradeOutcome::Declined && context.env.interrupt.Requested()) {
        return kExitInterrupted;
    }
    const uwieg::ReaderIdentity reader = session.dev().identity();
    if (context.options.json) {
        PrintJsonDocument(context, {{"outcome", OutcomeName(outcome)},
                                    {"firmware_before", firmwareBefore},
                                    {"firmware", reader.firmwareVersion},
                                    {"label", reader.Description()}});
    } else {
        PrintLine(context, OutcomeText(outcome));
        PrintLine(context, reader.Description());
    }
    return outcome == uwieg::UpgradeOutcome::BadImage ? kExitDeviceFailed : kExitDone;
}

}  // namespace

void AddUpgradeCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "upgrade", "Upgrade oprogramowania czytnika z obrazu wbudowanego, gdy jest nowszy");
    command->group(kCommandGroup);
    auto options = std::make_shared<UpgradeOptions>();
    command->add_flag("-y,--yes", options->yes, "Bez pytania (dla skryptów)");
    command->callback([&chosen, options] {
        chosen = [options](const Context& context) { return RunUpgrade(context, *options); };
    });
}

}  // namespace cli
