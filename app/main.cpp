// trelvo: the configuration and test tool on real USB.
#include "app/Program.h"
#include "uwieg/session.h"
#include "wusb/clock.h"
#include "wusb/platform/native.h"

int main(int argc, char** argv) {
    return ProgramEntry(argc, argv, [] {
        const auto platform = wusb::MakeNativePlatform();
        wusb::SystemClock clock;
        const auto hotplug = wusb::MakeNativeHotplug(*platform, uwieg::kInterfaceGuid, clock);
        RunMainWindow(*platform, clock, {}, hotplug.get());
    });
}
