#include "uwieg/session.h"

#include "uwieg/err.h"

namespace uwieg {

std::string NoInterfaceMessage(wusb::OpenRefusal refusal) {
    std::string text = kNoInterfaceText;
    if (refusal == wusb::OpenRefusal::Permission) {
        text += std::string("\n") + kPermissionHint;
    } else if (refusal == wusb::OpenRefusal::InUse) {
        text += std::string("\n") + kInUseHint;
    }
    return text;
}

bool OpenInterface(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs) {
    if (list.Enumerate() == 0) {
        dialogs.ShowError(NoInterfaceMessage(list.refusal()));
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
