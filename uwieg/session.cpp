#include "uwieg/session.h"

#include <cstdio>
#include <optional>

#include "uwieg/err.h"
#include "wusb/err.h"

namespace uwieg {

namespace {

std::string NotFoundText(const InterfaceChoice& choice, int count) {
    if (choice.bySerial) {
        return "Nie znaleziono interface'u USB-Wiegand o numerze seryjnym " +
               SerialNumberText(choice.serial) + ".";
    }
    return "Nie znaleziono interface'u USB-Wiegand nr " + std::to_string(choice.index) +
           " (znaleziono: " + std::to_string(count) + ").";
}

bool LinkBySerial(wusb::WUsbDevTab& list, UWiegDev& dev, std::uint32_t serial) {
    std::optional<wusb::WUsbErr> linkFailure;
    for (int i = 0; i < list.count(); ++i) {
        try {
            dev.Link(list, i);
        } catch (const wusb::WUsbErr& e) {
            linkFailure = e;
            continue;
        }
        if (dev.serialNumber == serial) {
            return true;
        }
    }
    if (linkFailure) {
        throw *linkFailure;
    }
    return false;
}

}  // namespace

std::string RefusalHint(wusb::OpenRefusal refusal) {
    switch (refusal) {
        case wusb::OpenRefusal::Permission:
            return kPermissionHint;
        case wusb::OpenRefusal::InUse:
            return kInUseHint;
        case wusb::OpenRefusal::None:
            break;
    }
    return {};
}

std::string NoInterfaceMessage(wusb::OpenRefusal refusal) {
    const std::string hint = RefusalHint(refusal);
    return hint.empty() ? kNoInterfaceText : std::string(kNoInterfaceText) + "\n" + hint;
}

std::string SerialNumberText(std::uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(serial));
    return text;
}

bool OpenInterface(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs,
                   const InterfaceChoice& choice) {
    const int count = list.Enumerate();
    if (count == 0) {
        dialogs.ShowError(NoInterfaceMessage(list.refusal()));
        return false;
    }
    if (choice.bySerial) {
        if (LinkBySerial(list, dev, choice.serial)) {
            return true;
        }
    } else if (choice.index >= 0 && choice.index < count) {
        dev.Link(list, choice.index);
        return true;
    }
    dialogs.ShowError(NotFoundText(choice, count));
    return false;
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
