// The road of every reader action, in every program: find and link the interface, connect the
// reader, run the action, close the channel.
#pragma once

#include <functional>

#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/session.h"
#include "wusb/device.h"

namespace uwieg {

enum class FlowOutcome {
    Done,         // the action ran and the channel is closed again
    NoInterface,  // nothing to link; the error was shown
    Failed,       // a link or protocol failure, shown; the channel is left as it was
};

// A link or protocol failure (WUsbErr, UWiegErr) anywhere on the road is shown with its message
// and ends it; other exceptions leave to the caller.
FlowOutcome RunReaderFlow(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs,
                          const InterfaceChoice& choice, const std::function<void()>& action);

}  // namespace uwieg
