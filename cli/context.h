// What every command gets: the global options and the program's surroundings (platform, clock,
// streams, terminal, interrupt, files), so each command runs in-process and headless in tests.
#pragma once

#include <ostream>
#include <string>

#include "cli/global_options.h"
#include "cli/interrupt.h"
#include "cli/platforms.h"
#include "cli/terminal.h"
#include "wusb/capture/wire_capture.h"
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
    // Set while --capture records the wire; every command then talks through it.
    wusb::capture::WireCapture* capture = nullptr;

    wusb::Platform& Platform() const {
        if (capture != nullptr) {
            return capture->platform();
        }
        return DevicePlatform();
    }
    // The platform the options choose, without the capture.
    wusb::Platform& DevicePlatform() const {
        return options.sim ? env.platforms.Simulated() : env.platforms.Native(options.usbIds);
    }
    // "trelvo-cli: <text>" on standard error.
    void Error(const std::string& text) const {
        env.err << kProgramName << ": " << text << '\n' << std::flush;
    }
};

}  // namespace cli
