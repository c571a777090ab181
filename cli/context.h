// What every command gets: the global options and the program's surroundings (platform, clock,
// streams, terminal, interrupt, files), so each command runs in-process and headless in tests.
#pragma once

#include <ostream>
#include <string>

#include "cli/global_options.h"
#include "cli/interrupt.h"
#include "cli/platforms.h"
#include "cli/terminal.h"
#include "wusb/clock.h"
#include "wusb/files.h"
#include "wusb/platform.h"

namespace cli {

struct Environment {
    Platforms& platforms;
    wusb::Clock& clock;
    std::ostream& out;
    std::ostream& err;
    Terminal& terminal;
    Interrupt& interrupt;
    wusb::Files& files;
};

inline constexpr const char* kProgramName = "trelvo-cli";

struct Context {
    GlobalOptions options;
    Environment& env;

    wusb::Platform& Platform() const {
        return options.sim ? env.platforms.Simulated() : env.platforms.Native();
    }
    // "trelvo-cli: <text>" on standard error.
    void Error(const std::string& text) const {
        env.err << kProgramName << ": " << text << '\n' << std::flush;
    }
};

}  // namespace cli
