#include "uwieg/session.h"

#include "uwieg/err.h"

namespace uwieg {

bool OpenInterface(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs) {
    if (list.Enumerate() == 0) {
        dialogs.ShowError(list.accessDenied() ? kNoAccessText : kNoInterfaceText);
        return false;
    }
    dev.Link(list, 0);
    return true;
}

void ConnectReader(UWiegDev& dev) {
    dev.QuietClose(kQuietPeriodMs);
    dev.OpenChannel(1);
    dev.clock().Sleep(kAfterOpenMs);
    dev.Identify();
    if (!dev.identity().isKnownType()) {
        throw UWiegErr{2};
    }
}

}  // namespace uwieg
