// write: a profile (or named fields changed on top of the reader's configuration) written as
// the window writes it, then read back and compared in all 8 bytes. Everything the user gave
// is checked before anything is sent.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/reader_session.h"
#include "cli/value_checks.h"
#include "uwieg/config.h"
#include "uwieg/profile.h"
#include "uwieg/verified_write.h"
#include "wusb/files.h"

namespace cli {

namespace {

struct WriteOptions {
    std::string profile;
    std::vector<std::string> settings;
    bool noVerify = false;
};

// The record the profile file describes; nothing when it cannot be read or is invalid (said).
std::optional<uwieg::ReaderConfig> ProfileRecord(const Context& context, const std::string& path) {
    try {
        return uwieg::RecordFromProfile(context.env.files.ReadAll(path, uwieg::kLargestProfile));
    } catch (const wusb::FileError& error) {
        context.Error(error.what());
    } catch (const uwieg::ProfileError& error) {
        context.Error(path + (error.line() > 0 ? ":" : ": ") + error.what());
    }
    return std::nullopt;
}

// The settings are checked on a record of the window's defaults, so a wrong key or value is
// refused before the reader is even asked for its own record.
bool SettingsValid(const Context& context, const std::vector<std::string>& settings) {
    uwieg::ConfigControls defaults;
    try {
        uwieg::ApplyProfileSettings(uwieg::EncodeConfig(defaults), settings);
        return true;
    } catch (const uwieg::ProfileError& error) {
        context.Error("--set: " + std::string(error.what()));
        return false;
    }
}

void Report(const Context& context, const uwieg::WriteCheck& check, bool verified) {
    if (context.options.json) {
        nlohmann::ordered_json result{
            {"record", HexBytes(check.written)},
            {"verified",
             verified ? nlohmann::ordered_json(check.Matches()) : nlohmann::ordered_json(nullptr)}};
        if (verified) {
            result["read_back"] = HexBytes(check.readBack);
        }
        PrintJsonDocument(context, result);
    } else if (!verified || check.Matches()) {
        PrintLine(context, "Zapisano: " + uwieg::RecordText(check.written) +
                               (verified ? " (sprawdzono)" : " (bez sprawdzenia)"));
    }
}

int RunWrite(const Context& context, const WriteOptions& options) {
    std::optional<uwieg::ReaderConfig> fromFile;
    if (!options.profile.empty()) {
        fromFile = ProfileRecord(context, options.profile);
        if (!fromFile) {
            return kExitInvalidProfile;
        }
    }
    if (!options.settings.empty() && !SettingsValid(context, options.settings)) {
        return kExitInvalidProfile;
    }

    ReaderSession session(context);
    uwieg::WriteCheck check;
    const int exitCode = session.RunReaderFlow([&] {
        uwieg::UWiegDev& dev = session.dev();
        uwieg::ReaderConfig record{};
        if (fromFile) {
            record = *fromFile;
        } else {
            dev.ReadConfig(record);
        }
        if (!options.settings.empty()) {
            record = uwieg::ApplyProfileSettings(record, options.settings);
        }
        if (options.noVerify) {
            dev.WriteConfig(record);
            check.written = record;
        } else {
            check = uwieg::WriteVerified(dev, record);
        }
    });
    if (exitCode != kExitDone) {
        return exitCode;
    }
    Report(context, check, !options.noVerify);
    if (!options.noVerify && !check.Matches()) {
        context.Error(uwieg::MismatchText(check));
        return kExitMismatch;
    }
    return kExitDone;
}

}  // namespace

void AddWriteCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "write",
        "Zapis konfiguracji z profilu PROFIL albo zmiana pól (--set), potem odczyt i porównanie");
    command->group(kCommandGroup);
    auto options = std::make_shared<WriteOptions>();
    Accepting(command->add_option("PROFIL", options->profile, "Plik profilu (jak zapisuje 'read')")
                  ->type_name("PLIK"),
              FileName());
    command
        ->add_option("--set", options->settings,
                     "Zmienia pole profilu, np. wiegand.frame=32+2 (z PROFIL: na nim, bez: na "
                     "konfiguracji czytnika); można powtarzać")
        ->type_name("KLUCZ=WARTOŚĆ")
        ->allow_extra_args(false);
    command->add_flag("--no-verify", options->noVerify, "Bez odczytu i porównania po zapisie");
    command->callback([&chosen, options] {
        if (options->profile.empty() && options->settings.empty()) {
            throw CLI::ValidationError("write", "podaj PROFIL albo --set KLUCZ=WARTOŚĆ");
        }
        chosen = [options](const Context& context) { return RunWrite(context, *options); };
    });
}

}  // namespace cli
