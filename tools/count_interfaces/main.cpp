// Prints how many USB-Wiegand interfaces this machine presents, so the run script can start
// the real program when one is attached and the simulator demo otherwise.
#include <cstdio>
#include <vector>

#include "uwieg/session.h"
#include "wusb/platform/native.h"

int main() {
    const auto platform = wusb::MakeNativePlatform();
    std::vector<wusb::InterfacePath> present;
    if (!platform->ListInterfaces(uwieg::kInterfaceGuid, present)) {
        present.clear();
    }
    std::printf("%zu\n", present.size());
    return 0;
}
