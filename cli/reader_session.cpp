#include "cli/reader_session.h"

#include "cli/exit_codes.h"
#include "uwieg/reader_flow.h"
#include "uwieg/session.h"
#include "uwieg/test_channel.h"
#include "wusb/err.h"

namespace cli {

ReaderSession::ReaderSession(const Context& context, bool assumeYes)
    : context_(context),
      list_(context.Platform(), uwieg::kInterfaceGuid),
      dev_(context.env.clock),
      dialogs_(context, assumeYes) {}

ReaderSession::~ReaderSession() {
    if (!dev_.channelOpen || !dev_.IsLinked()) {
        return;
    }
    // The command already failed and said why; a close that fails too adds nothing.
    try {
        dev_.CloseChannel();
    } catch (const wusb::WUsbErr&) {
    }
}

int ReaderSession::RunReaderFlow(const std::function<void()>& action) {
    switch (uwieg::RunReaderFlow(list_, dev_, dialogs_, context_.options.device, action)) {
        case uwieg::FlowOutcome::Done:
            return kExitDone;
        case uwieg::FlowOutcome::NoInterface:
            return kExitNoInterface;
        case uwieg::FlowOutcome::Failed:
            break;
    }
    return kExitDeviceFailed;
}

int ReaderSession::OpenInterface() {
    return uwieg::OpenInterface(list_, dev_, dialogs_, context_.options.device) ? kExitDone
                                                                                : kExitNoInterface;
}

int ReaderSession::OpenTestChannel() {
    return uwieg::OpenTestChannel(list_, dev_, dialogs_, context_.options.device)
               ? kExitDone
               : kExitNoInterface;
}

}  // namespace cli
