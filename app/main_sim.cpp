// trelvo-sim: the same window on a simulated interface and reader, with the simulator panel.
#include <memory>

#include "app/Program.h"
#include "app/SimPanel.h"
#include "app/Wmain.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "wusb/clock.h"

int main(int argc, char** argv) {
    return ProgramEntry(argc, argv, [] {
        wusb::SystemClock clock;
        sim::SimPlatform platform(clock);
        // A type 51 reader with firmware 2: current, so no upgrade is offered until the panel
        // sets an older version.
        const int device = platform.Plug(std::make_shared<sim::SimInterface>());
        std::unique_ptr<SimPanel> panel;
        RunMainWindow(platform, clock, [&](TMainWin& window) {
            panel = std::make_unique<SimPanel>(platform, device);
            panel->move(window.frameGeometry().topRight() + QPoint(8, 0));
            panel->show();
        });
    });
}
