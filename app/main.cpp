// trelvo: the configuration and test tool on real USB.
#include "app/Program.h"
#include "wusb/clock.h"
#include "wusb/platform/native.h"

int main(int argc, char** argv) {
    return ProgramEntry(argc, argv, "trelvo", [](const ProgramOptions& options) {
        const auto platform = wusb::MakeNativePlatform();
        wusb::SystemClock clock;
        RunMainWindow(*platform, clock, options);
    });
}
