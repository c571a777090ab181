// trelvo-cli as a function: the command line in, the exit code out, everything else through the
// environment, so tests run every command in-process.
#pragma once

#include "cli/context.h"

namespace cli {

int RunCli(int argc, const char* const* argv, Environment& environment);

}  // namespace cli
