// One command's use of the interface: the device list on the chosen platform, the device object
// and the dialogs, the reader road with its outcome as an exit code, and the channel closed
// again when the command ends with it open (as the window does when it closes).
#pragma once

#include <functional>

#include "cli/cli_dialogs.h"
#include "cli/context.h"
#include "uwieg/device.h"
#include "wusb/device.h"

namespace cli {

class ReaderSession {
  public:
    explicit ReaderSession(const Context& context, bool assumeYes = false);
    ~ReaderSession();
    ReaderSession(const ReaderSession&) = delete;
    ReaderSession& operator=(const ReaderSession&) = delete;

    // Link, connect, `action`, close. 0 when done; 2 or 3 once the error was shown.
    int RunReaderFlow(const std::function<void()>& action);
    // Links the chosen interface only (its own commands need no reader). 0, or 2 once shown.
    int OpenInterface();
    // Links the chosen interface and opens the channel in mode 0 (the test tab). 0, or 2.
    int OpenTestChannel();

    uwieg::UWiegDev& dev() { return dev_; }
    uwieg::Dialogs& dialogs() { return dialogs_; }

  private:
    const Context& context_;
    wusb::WUsbDevTab list_;
    uwieg::UWiegDev dev_;
    CliDialogs dialogs_;
};

}  // namespace cli
