// The program's own surroundings on the machine running the tests. Only the Windows build runs
// it: no test machine has a WinUSB interface (Wine has none), while a Linux developer may have
// a real one plugged in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "cli/interrupt.h"
#include "cli/platforms.h"
#include "cli/run.h"
#include "cli/terminal.h"
#include "wusb/clock.h"
#include "wusb/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace cli_test {
namespace {

#ifdef _WIN32
TEST(NativeCli, ListFindsNoInterfaceCleanlyAndTheSimulatorWorks) {
    wusb::SystemClock clock;
    cli::SystemPlatforms platforms(clock);
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    cli::SystemTerminal terminal(in, err);
    cli::SystemInterrupt interrupt;
    wusb::SystemFiles files;
    cli::Environment environment{platforms, clock, out, err, terminal, interrupt, files};

    const char* list[] = {"trelvo-cli", "list"};
    EXPECT_EQ(cli::RunCli(2, list, environment), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "trelvo-cli: Nie znaleziono interface'u USB-Wiegand.\n");

    out.str("");
    const char* info[] = {"trelvo-cli", "--sim", "info"};
    EXPECT_EQ(cli::RunCli(3, info, environment), 0) << err.str();
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "Czytnik KV-T51X, Nr: 00042 (soft: 2)");
}

TEST(NativeCli, ClosingTheConsoleWaitsUntilTheCommandEnds) {
    auto interrupt = std::make_unique<cli::SystemInterrupt>();
    std::atomic<bool> returned{false};
    std::thread closer([&] {
        EXPECT_TRUE(cli::ConsoleEventHandler(CTRL_CLOSE_EVENT));
        returned = true;
    });
    for (int i = 0; i < 200 && !interrupt->Requested(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(interrupt->Requested());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(returned) << "the process would end in the middle of the command";
    interrupt.reset();
    closer.join();
    EXPECT_TRUE(returned);
}
#endif

}  // namespace
}  // namespace cli_test
