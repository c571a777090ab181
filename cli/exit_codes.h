// The exit codes of trelvo-cli; scripts rely on them, so they never change meaning.
#pragma once

namespace cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,           // the command line is wrong (or a question could not be asked)
    kExitNoInterface = 2,     // no USB-Wiegand interface (or not the one chosen)
    kExitDeviceFailed = 3,    // the interface or the reader failed
    kExitMismatch = 4,        // the record read back differs from the one written
    kExitInvalidProfile = 5,  // the profile (or format file) is not valid; nothing was sent
    kExitInterrupted = 130,   // Ctrl+C (SIGINT, SIGTERM) before the work was done
};

// The table printed at the end of --help.
inline constexpr const char* kExitCodeHelp =
    "Kody wyjścia:\n"
    "  0    wykonano\n"
    "  1    błędne wywołanie\n"
    "  2    nie znaleziono interface'u USB-Wiegand\n"
    "  3    błąd interface'u lub czytnika\n"
    "  4    konfiguracja odczytana po zapisie różni się od zapisanej\n"
    "  5    nieprawidłowy profil lub plik formatów (nic nie zostało wysłane)\n"
    "  130  przerwano (Ctrl+C)\n";

}  // namespace cli
