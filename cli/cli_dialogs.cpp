#include "cli/cli_dialogs.h"

#include <sstream>

namespace cli {

std::string TerminalQuestion(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    std::string question;
    while (std::getline(lines, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (!question.empty()) {
            question += '\n';
        }
        question += start == std::string::npos ? "" : line.substr(start);
    }
    return question;
}

bool CliDialogs::AskYesNo(const std::string& text, const std::string& /*caption*/) {
    if (assumeYes_) {
        return true;
    }
    return context_.env.terminal.AskYesNo(TerminalQuestion(text));
}

}  // namespace cli
