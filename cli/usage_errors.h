// A command line the parser refused, said in Polish: what is wrong, with which option or word,
// what it accepts, and where to read more. The failure's type says what went wrong and the
// parser's state says where; CLI11's own (English) text is never shown.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
class Error;
}  // namespace CLI

namespace cli {

// The whole message for `error`, raised while `app` parsed `args` (the program's name left
// out): "trelvo-cli: <what>\nWięcej: trelvo-cli <command> --help\n".
std::string UsageErrorText(CLI::App& app, const CLI::Error& error,
                           const std::vector<std::string>& args);

}  // namespace cli
