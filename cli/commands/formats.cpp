// formats: the card formats monitor --decode reads with, the built-in table and the user's
// own file's rows; with --json as a format file, the start of one's own.
#include <CLI/CLI.hpp>
#include <string>

#include "cli/card_formats.h"
#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "uwieg/format_file.h"

namespace cli {

namespace {

const char* FieldLabel(wiegand::FieldKind kind) {
    switch (kind) {
        case wiegand::FieldKind::Facility:
            return "FC";
        case wiegand::FieldKind::Company:
            return "CC";
        case wiegand::FieldKind::Card:
            break;
    }
    return "CN";
}

// "H10301  26 bit  FC 2-9  CN 10-25  parzystość: 1 parzysta, 26 nieparzysta  pierwszeństwo 10",
// positions counted from 1 as in the file.
std::string RowLine(const wiegand::Format& row) {
    std::string line = row.name + "  " + std::to_string(row.bits) + " bit";
    for (const wiegand::Field& f : row.fields) {
        line += "  " + std::string(FieldLabel(f.kind)) + " " + std::to_string(f.first + 1) + "-" +
                std::to_string(f.first + f.width);
    }
    std::string parity;
    for (const wiegand::ParityBit& p : row.parity) {
        parity += (parity.empty() ? "" : ", ") + std::to_string(p.position + 1) +
                  (p.odd ? " nieparzysta" : " parzysta");
    }
    if (!parity.empty()) {
        line += "  parzystość: " + parity;
    }
    return line + "  pierwszeństwo " + std::to_string(row.preference);
}

int RunFormats(const Context& context) {
    const std::optional<wiegand::FormatTable> table = CardFormats(context);
    if (!table) {
        return kExitInvalidProfile;
    }
    if (context.options.json) {
        context.env.out << uwieg::FormatFileText(*table) << std::flush;
        return kExitDone;
    }
    for (const auto& row : *table) {
        PrintLine(context, RowLine(*row));
    }
    return kExitDone;
}

}  // namespace

void AddFormatsCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "formats",
        "Formaty kart, którymi 'monitor --decode' czyta karty (--json: jako plik "
        "formatów, początek własnego)");
    command->group(kCommandGroup);
    command->callback([&chosen] { chosen = RunFormats; });
}

}  // namespace cli
