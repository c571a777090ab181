// trelvo-sim: the same window on a simulated interface and reader, with the simulator panel.
#include <QScreen>
#include <algorithm>
#include <iostream>
#include <memory>
#include <span>

#include "app/InfoOption.h"
#include "app/Program.h"
#include "app/SimPanel.h"
#include "app/Wmain.h"
#include "sim/device.h"
#include "sim/hotplug.h"
#include "sim/platform.h"
#include "wusb/clock.h"

namespace {

// The window and the panel side by side, centred together where the screen is wide enough;
// otherwise the window stays centred and the panel keeps to the screen's right edge.
void PlaceSideBySide(QWidget& window, QWidget& panel) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    constexpr int kGap = 8;
    const QRect free = screen->availableGeometry();
    const int total = window.frameGeometry().width() + kGap + panel.frameGeometry().width();
    if (total <= free.width()) {
        window.move(free.left() + (free.width() - total) / 2, window.y());
    }
    const int x = std::min(window.frameGeometry().right() + kGap,
                           free.right() - panel.frameGeometry().width());
    panel.move(std::max(x, free.left()), window.y());
}

}  // namespace

int main(int argc, char** argv) {
    const ProgramInfo info{"trelvo-sim",
                           "Okno programu Trelvo na symulowanym interface'ie i czytniku (demo)."};
    if (const auto code = AnswerInfoOption(info, std::span(argv + 1, argv + argc), std::cout)) {
        return *code;
    }
    return ProgramEntry(argc, argv, "trelvo-sim", [](const ProgramOptions& options) {
        wusb::SystemClock clock;
        sim::SimPlatform platform(clock);
        // A type 51 reader with firmware 2: current, so no upgrade is offered until the panel
        // sets an older version.
        const int device = platform.Plug(std::make_shared<sim::SimInterface>());
        sim::SimHotplug hotplug(platform, clock);
        std::unique_ptr<SimPanel> panel;
        RunMainWindow(
            platform, clock, options,
            [&](TMainWin& window) {
                panel = std::make_unique<SimPanel>(platform, device);
                panel->adjustSize();
                PlaceSideBySide(window, *panel);
                panel->show();
            },
            &hotplug);
    });
}
