#include "cli/usage_errors.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>
#include <optional>

#include "cli/value_checks.h"

namespace cli {

namespace {

std::string Quoted(const std::string& word) {
    return "„" + word + "”";
}

// Edits from one word to the other, a swap of neighbours counting as one.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The name a mistyped word most likely meant: the only one it begins, or the nearest within a
// typo or two; nothing when none is that close.
std::optional<std::string> Closest(const std::string& word, const std::vector<std::string>& names) {
    std::vector<std::string> begun;
    std::copy_if(names.begin(), names.end(), std::back_inserter(begun),
                 [&word](const std::string& name) { return name.rfind(word, 0) == 0; });
    const std::size_t dashes = std::min(word.find_first_not_of('-'), word.size());
    if (word.size() >= dashes + 2 && begun.size() == 1) {
        return begun.front();
    }
    std::size_t best = word.size() <= 4 ? 2 : 3;
    std::optional<std::string> closest;
    for (const std::string& name : names) {
        if (const std::size_t distance = Distance(word, name); distance < best) {
            best = distance;
            closest = name;
        }
    }
    return closest;
}

std::string Suggestion(const std::optional<std::string>& closest) {
    return closest ? "; czy chodziło o " + Quoted(*closest) + "?" : "";
}

// The program and the commands chosen on the command line, outermost first.
std::vector<CLI::App*> Chosen(CLI::App& app) {
    std::vector<CLI::App*> chain{&app};
    while (!chain.back()->get_subcommands().empty()) {
        chain.push_back(chain.back()->get_subcommands().front());
    }
    return chain;
}

// The option a word of the command line names ("--count", "--count=5", "-o").
CLI::Option* Named(const std::vector<CLI::App*>& chain, const std::string& word) {
    if (word.size() < 2 || word[0] != '-') {
        return nullptr;
    }
    const std::string name = word.substr(0, word.find('='));
    for (auto app = chain.rbegin(); app != chain.rend(); ++app) {
        if (CLI::Option* option = (*app)->get_option_no_throw(name)) {
            return option;
        }
    }
    return nullptr;
}

std::vector<std::string> CommandNames(CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) {
        names.push_back(command->get_name());
    }
    return names;
}

std::string CommandList(CLI::App& app) {
    std::string list;
    for (const std::string& name : CommandNames(app)) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return list;
}

std::string UnknownCommand(CLI::App& app, const std::string& word) {
    const std::optional<std::string> closest = Closest(word, CommandNames(app));
    return "nieznane polecenie " + Quoted(word) + Suggestion(closest) +
           (closest ? " Polecenia: " : "; polecenia: ") + CommandList(app);
}

// A word no command or option took.
std::string Unexpected(const std::vector<CLI::App*>& chain, const std::string& word) {
    if (word.size() < 2 || word[0] != '-') {
        return "nieoczekiwany argument " + Quoted(word);
    }
    std::vector<std::string> names;
    for (CLI::App* app : chain) {
        for (const CLI::Option* option : app->get_options()) {
            if (!option->get_positional()) {
                names.push_back(option->get_name());
            }
        }
    }
    const std::string name = word.substr(0, word.find('='));
    return "nieznana opcja " + name + Suggestion(Closest(name, names));
}

std::string NoCommand(CLI::App& app) {
    const std::vector<std::string> words = app.remaining();
    const auto command = std::find_if(words.begin(), words.end(), [](const std::string& word) {
        return word.empty() || word[0] != '-';
    });
    if (command != words.end()) {
        return UnknownCommand(app, *command);
    }
    if (!words.empty()) {
        return Unexpected({&app}, words.front());
    }
    return "brak polecenia; polecenia: " + CommandList(app);
}

std::string MissingOption(const std::vector<CLI::App*>& chain) {
    for (CLI::App* app : chain) {
        for (CLI::Option* option : app->get_options()) {
            if (option->get_required() && option->count() == 0) {
                return (option->get_positional() ? "brak wymaganego argumentu "
                                                 : "brak wymaganej opcji ") +
                       option->get_name() + "; oczekiwano " + ExpectedValue(*option);
            }
        }
    }
    return {};
}

std::string ExcludedTogether(const std::vector<CLI::App*>& chain) {
    for (CLI::App* app : chain) {
        for (const CLI::Option* option : app->get_options()) {
            for (const CLI::Option* other : option->get_excludes()) {
                if (option->count() > 0 && other->count() > 0) {
                    return "opcje " + option->get_name() + " i " + other->get_name() +
                           " wykluczają się; podaj jedną z nich";
                }
            }
        }
    }
    return {};
}

// Too many values (an option given twice), or too few (an option last, without its value).
std::string ValueCount(const std::vector<CLI::App*>& chain, const std::vector<std::string>& args) {
    for (CLI::App* app : chain) {
        for (const CLI::Option* option : app->get_options()) {
            const int most = option->get_items_expected_max();
            if (most > 0 && option->count() > static_cast<std::size_t>(most)) {
                return option->get_name() + ": można podać tylko raz";
            }
        }
    }
    if (CLI::Option* option = args.empty() ? nullptr : Named(chain, args.back())) {
        return option->get_name() + ": brak wartości; oczekiwano " + ExpectedValue(*option);
    }
    return {};
}

// A switch given a value (--sim=maybe): the one conversion that no check before it refused.
std::string FlagWithValue(const std::vector<CLI::App*>& chain,
                          const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        const CLI::Option* option = Named(chain, arg);
        if (option != nullptr && arg.find('=') != std::string::npos &&
            option->get_items_expected_max() == 0) {
            return option->get_name() + ": ta opcja nie przyjmuje wartości";
        }
    }
    return {};
}

std::string What(CLI::App& app, const CLI::Error& error, const std::vector<std::string>& args) {
    const std::vector<CLI::App*> chain = Chosen(app);
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
        // Every check and every command's own refusal is written in Polish.
        return error.what();
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        return chain.size() == 1 ? NoCommand(app) : MissingOption(chain);
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        const std::vector<std::string> words = app.remaining(true);
        return words.empty() ? std::string() : Unexpected(chain, words.front());
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        return ExcludedTogether(chain);
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        return ValueCount(chain, args);
    }
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        return FlagWithValue(chain, args);
    }
    return {};
}

}  // namespace

std::string UsageErrorText(CLI::App& app, const CLI::Error& error,
                           const std::vector<std::string>& args) {
    std::string what = What(app, error, args);
    if (what.empty()) {
        what = "błędne wywołanie";
    }
    std::string command;
    for (const CLI::App* chosen : Chosen(app)) {
        command += chosen->get_name() + " ";
    }
    return app.get_name() + ": " + what + "\nWięcej: " + command + "--help\n";
}

}  // namespace cli
