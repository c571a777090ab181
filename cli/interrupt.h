// The interrupt seam: whether the user asked the program to stop (Ctrl+C, SIGINT or SIGTERM; on
// Windows Ctrl+C, Ctrl+Break or closing the console). Commands look at it between steps, so a
// stop never cuts an exchange with the interface in half.
#pragma once

namespace cli {

class Interrupt {
  public:
    virtual ~Interrupt() = default;
    virtual bool Requested() = 0;
};

// Catches the signals for its lifetime (one object per process). The first request is only
// remembered; a second one ends the program at once, as if nothing caught it.
class SystemInterrupt final : public Interrupt {
  public:
    SystemInterrupt();
    ~SystemInterrupt() override;
    SystemInterrupt(const SystemInterrupt&) = delete;
    SystemInterrupt& operator=(const SystemInterrupt&) = delete;

    bool Requested() override;
};

#ifdef _WIN32
// How long closing the console waits for the running command: under the about 5 s Windows gives.
inline constexpr unsigned long kConsoleCloseWaitMs = 4500;

// The console control handler SystemInterrupt installs (a PHANDLER_ROUTINE, spelt without
// <windows.h> and its macros); reachable so the tests can call it.
int __stdcall ConsoleEventHandler(unsigned long event);
#endif

}  // namespace cli
