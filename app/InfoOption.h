// The options a window program answers on the terminal without opening a window (and so
// without a display): --version and --help.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string_view>

struct ProgramInfo {
    std::string_view name;     // as installed, e.g. "trelvo"
    std::string_view summary;  // one line: what the program does
};

// Answers --version or --help (-h) when one is among `args` (argv without argv[0]) and returns
// the exit code; returns nothing when the program should start its window. Other arguments
// are left to Qt, which has options of its own (-platform, -style, ...).
std::optional<int> AnswerInfoOption(const ProgramInfo& program, std::span<char* const> args,
                                    std::ostream& out);
