#include "app/InfoOption.h"

#include <algorithm>

#include "trelvo/version.h"

namespace {

bool Has(std::span<char* const> args, std::string_view option) {
    return std::any_of(args.begin(), args.end(),
                       [option](const char* arg) { return arg != nullptr && arg == option; });
}

}  // namespace

std::optional<int> AnswerInfoOption(const ProgramInfo& program, std::span<char* const> args,
                                    std::ostream& out) {
    // "--" ends the options: what follows is not ours.
    const auto end = std::find_if(args.begin(), args.end(), [](const char* arg) {
        return arg != nullptr && std::string_view(arg) == "--";
    });
    const std::span<char* const> options(args.begin(), end);
    if (Has(options, "--help") || Has(options, "-h")) {
        out << "Użycie: " << program.name << " [OPCJA]...\n"
            << program.summary << "\n\n"
            << "  -h, --help          wyświetla tę pomoc i kończy\n"
            << "      --version       wyświetla numer wersji i kończy\n"
            << "      --capture PLIK  zapisuje ruch USB do pliku pcapng (także zmienna "
               "TRELVO_CAPTURE)\n\n"
            << "Przyjmuje też opcje Qt (np. -platform NAZWA, -style NAZWA).\n";
        return 0;
    }
    if (Has(options, "--version")) {
        out << program.name << ' ' << trelvo::kVersion << '\n';
        return 0;
    }
    return std::nullopt;
}
