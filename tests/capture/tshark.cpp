#include "tshark.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace capture_test {

namespace {

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    if (!line.empty() && line.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

// One shell word, whatever `text` holds.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

std::string RunCommand(const std::string& command, int& exitCode) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        exitCode = -1;
        return output;
    }
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, n);
    }
    const int status = pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

std::string FreshPath(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / "trelvo_capture";
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / name;
    std::filesystem::remove(path);
    return path.string();
}

TsharkResult TsharkFields(const std::string& file, const std::string& filter,
                          const std::vector<std::string>& fields) {
    const std::string errors = file + ".tshark-errors";
    std::string command = std::string(TRELVO_TSHARK) + " -n -r " + Quoted(file) +
                          " -X lua_script:" + Quoted(TRELVO_DISSECTOR) + " -Y " + Quoted(filter) +
                          " -T fields -E separator=/t -E occurrence=a -E aggregator=,";
    for (const std::string& field : fields) {
        command += " -e " + field;
    }
    command += " 2>" + Quoted(errors);
    TsharkResult result;
    const std::string output = RunCommand(command, result.exitCode);
    for (const std::string& line : Split(output, '\n')) {
        if (!line.empty()) {
            result.rows.push_back(Split(line, '\t'));
        }
    }
    std::ifstream in(errors);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("Running as user") == std::string::npos) {
            result.errors += line + "\n";
        }
    }
    return result;
}

}  // namespace capture_test
