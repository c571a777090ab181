#include "cli/terminal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define TRELVO_ISATTY _isatty
#define TRELVO_FILENO _fileno
#else
#include <unistd.h>
#define TRELVO_ISATTY isatty
#define TRELVO_FILENO fileno
#endif

namespace cli {

bool IsYes(const std::string& answer) {
    std::string word;
    for (const char c : answer) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return word == "y" || word == "yes" || word == "t" || word == "tak";
}

bool SystemTerminal::StdinIsTerminal() const {
    return TRELVO_ISATTY(TRELVO_FILENO(stdin)) != 0;
}

bool SystemTerminal::StdoutIsTerminal() const {
    return TRELVO_ISATTY(TRELVO_FILENO(stdout)) != 0;
}

bool SystemTerminal::StderrIsTerminal() const {
    return TRELVO_ISATTY(TRELVO_FILENO(stderr)) != 0;
}

bool SystemTerminal::AskYesNo(const std::string& question) {
    err_ << question << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(in_, answer)) {
        err_ << '\n';
        return false;
    }
    return IsYes(answer);
}

}  // namespace cli
