// Reading captures back the way support will: tshark with the project's dissector.
#pragma once

#include <string>
#include <vector>

namespace capture_test {

using Row = std::vector<std::string>;

struct TsharkResult {
    std::vector<Row> rows;  // one per displayed packet, one column per field
    std::string errors;     // what tshark said on its error stream (its root warning left out)
    int exitCode = -1;
};

// `tshark -r file -X lua_script:<dissector> -Y filter -T fields -e ...`.
TsharkResult TsharkFields(const std::string& file, const std::string& filter,
                          const std::vector<std::string>& fields);

// Runs a shell command; its standard output, and its exit code in `exitCode`.
std::string RunCommand(const std::string& command, int& exitCode);

// A fresh path in the test's temporary folder (nothing there yet).
std::string FreshPath(const std::string& name);

}  // namespace capture_test
