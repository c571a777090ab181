// trelvo-cli: every flow of the window from a terminal and from scripts.
#include <iostream>

#include "cli/interrupt.h"
#include "cli/platforms.h"
#include "cli/run.h"
#include "cli/terminal.h"
#include "wusb/clock.h"
#include "wusb/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The messages are UTF-8 (Polish); the console shows them as such.
    SetConsoleOutputCP(CP_UTF8);
#endif
    wusb::SystemClock clock;
    cli::SystemPlatforms platforms(clock);
    cli::SystemTerminal terminal(std::cin, std::cerr);
    cli::SystemInterrupt interrupt;
    wusb::SystemFiles files;
    cli::Environment environment{platforms, clock,     std::cout, std::cerr,
                                 terminal,  interrupt, files};
    const int code = cli::RunCli(argc, argv, environment);
    // Out before the interrupt object goes: a console being closed ends the process right then.
    std::cout.flush();
    return code;
}
