#include "uwieg/reader_flow.h"

#include "uwieg/err.h"
#include "wusb/err.h"

namespace uwieg {

FlowOutcome RunReaderFlow(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs,
                          const InterfaceChoice& choice, const std::function<void()>& action) {
    try {
        if (!OpenInterface(list, dev, dialogs, choice)) {
            return FlowOutcome::NoInterface;
        }
        ConnectReader(dev);
        action();
        dev.CloseChannel();
        return FlowOutcome::Done;
    } catch (const wusb::WUsbErr& e) {
        dialogs.ShowError(wusb::Message(e));
    } catch (const UWiegErr& e) {
        dialogs.ShowError(Message(e));
    }
    return FlowOutcome::Failed;
}

}  // namespace uwieg
