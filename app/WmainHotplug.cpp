// The window following the interface: the start-up read when the interface arrives after a
// start that found none, and the test tab's monitoring resumed when its interface comes back.
#include <QTimer>

#include "app/Wmain.h"

namespace {

constexpr int kHotplugTimerMs = 250;

}  // namespace

void TMainWin::FollowInterfaces(wusb::Hotplug& hotplug) {
    hotplug_ = &hotplug;
    HotplugTimer->setInterval(kHotplugTimerMs);
    HotplugTimer->start();
}

void TMainWin::HotplugTimerTimer() {
    if (hotplug_ == nullptr) {
        return;
    }
    bool arrived = false;
    for (const wusb::HotplugEvent& event : hotplug_->Wait(0)) {
        arrived = arrived || event.kind == wusb::HotplugEvent::Kind::Arrived;
    }
    if (!arrived) {
        return;
    }
    if (awaitingInterface_) {
        awaitingInterface_ = false;
        if (PageControl1->currentWidget() == Konfiguracja) {
            UpgrTimerTimer();
        }
        return;
    }
    // The poll failed and showed its box once; the interface is back, so monitor again.
    if (PageControl1->currentWidget() == Test && pollFailureShown_) {
        TestShow();
    }
}
