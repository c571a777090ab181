// What an option's value may be. Each check is a CLI11 validator whose description says, in
// Polish, what the option accepts (the words after "oczekiwano"), so a refused value and a
// missing one are reported alike. --help shows the option's placeholder (N, PLIK) alone.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace cli {

// Whole decimal numbers from `min` to `max`; handed on as plain decimal (no sign, no leading
// zeros), so CLI11's own conversion reads the number that was checked.
CLI::Validator WholeNumber(long long min, long long max);
// Decimal numbers from `min` to `max` (never NaN); `expected` says it in words.
CLI::Validator DecimalNumber(double min, double max, std::string expected);
// One of `words` in any letter case; handed on in lower case.
CLI::Validator OneOf(std::vector<std::string> words);
// A file name: anything but an empty one.
CLI::Validator FileName();
// The values `accepts` says yes to; `expected` says which they are.
CLI::Validator Satisfying(std::function<bool(const std::string&)> accepts, std::string expected);

// Adds `accepted` to `option`, which keeps its own placeholder in --help.
CLI::Option* Accepting(CLI::Option* option, CLI::Validator accepted);
// What `option` accepts, in the words that follow "oczekiwano": its check's description, or its
// placeholder when it has none.
std::string ExpectedValue(CLI::Option& option);

// CLI11's help layout, keeping the marks it adds after a placeholder (" ...", REQUIRED) for the
// options whose placeholder Accepting set.
class HelpFormatter : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override;
};

}  // namespace cli
