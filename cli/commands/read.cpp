// read: the reader's configuration as a profile, to standard output or to a file.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/reader_session.h"
#include "cli/value_checks.h"
#include "uwieg/config.h"
#include "uwieg/profile.h"
#include "wusb/files.h"

namespace cli {

namespace {

struct ReadOptions {
    std::string file;
};

int RunRead(const Context& context, const ReadOptions& options) {
    ReaderSession session(context);
    uwieg::ReaderConfig record{};
    const int exitCode = session.RunReaderFlow([&] { session.dev().ReadConfig(record); });
    if (exitCode != kExitDone) {
        return exitCode;
    }
    // Bits no control shows are kept in the profile; the user learns which.
    std::vector<std::string> notes;
    const std::string profile = uwieg::ProfileFromRecord(record, &notes);
    for (const std::string& note : notes) {
        context.Error("uwaga: " + note);
    }
    if (options.file.empty()) {
        context.env.out << profile << std::flush;
        return kExitDone;
    }
    try {
        context.env.files.ReplaceAll(options.file, profile);
    } catch (const wusb::FileError& error) {
        context.Error(error.what());
        return kExitUsage;
    }
    if (context.options.json) {
        PrintJsonDocument(context,
                          {{"file", options.file}, {"record", HexBytes(record)}, {"notes", notes}});
    } else {
        PrintLine(context, "Zapisano profil: " + options.file);
    }
    return kExitDone;
}

}  // namespace

void AddReadCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "read", "Konfiguracja czytnika jako profil (JSON) na wyjście albo do pliku");
    command->group(kCommandGroup);
    auto options = std::make_shared<ReadOptions>();
    Accepting(command->add_option("-o,--output", options->file, "Zapisuje profil do pliku PLIK")
                  ->type_name("PLIK"),
              FileName());
    command->callback([&chosen, options] {
        chosen = [options](const Context& context) { return RunRead(context, *options); };
    });
}

}  // namespace cli
