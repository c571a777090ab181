#include "cli/value_checks.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Refused(const std::string& expected) {
    return "oczekiwano " + expected;
}

// The name Accepting gives its check, to find it again among the option's validators.
constexpr const char* kAccepted = "accepted";

}  // namespace

CLI::Validator WholeNumber(long long min, long long max) {
    const std::string expected =
        "liczby całkowitej od " + std::to_string(min) + " do " + std::to_string(max);
    return CLI::Validator(
        [min, max, expected](std::string& text) {
            long long value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (text.empty() || error != std::errc() || stop != end || value < min || value > max) {
                return Refused(expected);
            }
            text = std::to_string(value);
            return std::string();
        },
        expected);
}

CLI::Validator DecimalNumber(double min, double max, std::string expected) {
    return CLI::Validator(
        [min, max, expected](std::string& text) {
            double value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            // Written so that NaN fails too.
            if (text.empty() || error != std::errc() || stop != end ||
                !(value >= min && value <= max)) {
                return Refused(expected);
            }
            return std::string();
        },
        expected);
}

CLI::Validator OneOf(std::vector<std::string> words) {
    std::string expected;
    for (std::size_t i = 0; i < words.size(); ++i) {
        expected += (i == 0 ? "" : i + 1 == words.size() ? " albo " : ", ") + words[i];
    }
    return CLI::Validator(
        [words = std::move(words), expected](std::string& text) {
            const std::string lower = Lower(text);
            if (std::find(words.begin(), words.end(), lower) == words.end()) {
                return Refused(expected);
            }
            text = lower;
            return std::string();
        },
        expected);
}

CLI::Validator FileName() {
    return Satisfying([](const std::string& text) { return !text.empty(); }, "nazwy pliku");
}

CLI::Validator Satisfying(std::function<bool(const std::string&)> accepts, std::string expected) {
    return CLI::Validator(
        [accepts = std::move(accepts), expected](const std::string& text) {
            return accepts(text) ? std::string() : Refused(expected);
        },
        expected);
}

CLI::Option* Accepting(CLI::Option* option, CLI::Validator accepted) {
    const std::string placeholder = option->get_type_name();
    return option->transform(std::move(accepted), kAccepted)->option_text(placeholder);
}

std::string ExpectedValue(CLI::Option& option) {
    try {
        return option.get_validator(kAccepted)->get_description();
    } catch (const CLI::OptionNotFound&) {
        return option.get_type_name();
    }
}

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    std::string text = CLI::Formatter::make_option_opts(option);
    if (option->get_option_text().empty()) {
        return text;
    }
    if (option->get_expected_max() == CLI::detail::expected_max_vector_size) {
        text += " ...";
    }
    if (option->get_required()) {
        text += " " + get_label("REQUIRED");
    }
    return text;
}

}  // namespace cli
