// trelvo: the configuration and test tool on real USB.
#include <iostream>
#include <span>

#include "app/InfoOption.h"
#include "app/Program.h"
#include "uwieg/session.h"
#include "wusb/clock.h"
#include "wusb/platform/native.h"

int main(int argc, char** argv) {
    const ProgramInfo info{"trelvo",
                           "Konfiguracja i test czytników kart KV-T przez interface USB-Wiegand."};
    if (const auto code = AnswerInfoOption(info, std::span(argv + 1, argv + argc), std::cout)) {
        return *code;
    }
    return ProgramEntry(argc, argv, "trelvo", [](const ProgramOptions& options) {
        const auto platform = wusb::MakeNativePlatform();
        wusb::SystemClock clock;
        const auto hotplug = wusb::MakeNativeHotplug(*platform, uwieg::kInterfaceGuid, clock);
        RunMainWindow(*platform, clock, options, {}, hotplug.get());
    });
}
