// The small parts every command relies on: the --device selector, the y/N answer, the question
// text, times and hex, and the real interrupt catching Ctrl+C.
#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "cli/cli_dialogs.h"
#include "cli/global_options.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/platforms.h"
#include "cli/terminal.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "uwieg/upgrade.h"
#include "wusb/clock.h"

namespace cli_test {
namespace {

TEST(DeviceSelector, IndexUpToTwoDigitsSerialUpToEightHexDigits) {
    const auto index = [](const char* text) {
        const auto choice = cli::ParseDeviceSelector(text);
        return choice && !choice->bySerial ? choice->index : -1;
    };
    const auto serial = [](const char* text) -> long long {
        const auto choice = cli::ParseDeviceSelector(text);
        return choice && choice->bySerial ? static_cast<long long>(choice->serial) : -1;
    };
    EXPECT_EQ(index("0"), 0);
    EXPECT_EQ(index("07"), 7);
    EXPECT_EQ(index("99"), 99);
    EXPECT_EQ(serial("100"), 0x100);
    EXPECT_EQ(serial("0001a2F3"), 0x0001A2F3);
    EXPECT_EQ(serial("FFFFFFFF"), 0xFFFFFFFF);
    for (const char* wrong : {"", "123456789", "0x12", "-1", " 1", "1 ", "G"}) {
        EXPECT_FALSE(cli::ParseDeviceSelector(wrong).has_value()) << wrong;
    }
}

TEST(Terminal, OnlyAnExplicitYesIsYes) {
    for (const char* yes : {"y", "Y", "yes", " YES ", "t", "Tak", "tak\r"}) {
        EXPECT_TRUE(cli::IsYes(yes)) << yes;
    }
    for (const char* no : {"", "n", "no", "nie", "ye", "yes please", "y y"}) {
        EXPECT_FALSE(cli::IsYes(no)) << no;
    }
    std::istringstream in("tak\n");
    std::ostringstream err;
    cli::SystemTerminal terminal(in, err);
    EXPECT_TRUE(terminal.AskYesNo("Dalej?"));
    EXPECT_EQ(err.str(), "Dalej? [y/N] ");
    EXPECT_FALSE(terminal.AskYesNo("Jeszcze?"));  // end of input
}

TEST(Terminal, TheWindowsQuestionLosesItsIndentation) {
    EXPECT_EQ(cli::TerminalQuestion(uwieg::kUpgradeQuestion),
              "Czytnik zawiera nieaktualne oprogramowanie.\n"
              "Wykonać upgrade oprogramowania czytnika?");
}

TEST(Output, IsoTimesAndHex) {
    EXPECT_EQ(wusb::IsoUtcText({0, 0}, true), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(wusb::IsoUtcText({1709251199, 999}, true), "2024-02-29T23:59:59.999Z");
    EXPECT_EQ(wusb::IsoUtcText({2147483647, 7}, true), "2038-01-19T03:14:07.007Z");
    const std::uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
    EXPECT_EQ(cli::HexBytes(bytes), "000fa0ff");
    EXPECT_EQ(cli::HexBytes({}), "");
}

TEST(SystemPlatforms, TheSimulatorHoldsTheSampleTransmissionsForMonitor) {
    wusb::FakeClock clock;
    cli::SystemPlatforms platforms(clock);
    auto& simulated = dynamic_cast<sim::SimPlatform&>(platforms.Simulated());
    EXPECT_EQ(&simulated, &platforms.Simulated()) << "one simulator per program";
    ASSERT_EQ(simulated.deviceCount(), 1);
    EXPECT_EQ(simulated.device(0)->pendingTransmissions(), cli::SampleTransmissions().size());
}

#ifndef _WIN32
TEST(SystemInterrupt, RemembersTheFirstSignal) {
    cli::SystemInterrupt interrupt;
    EXPECT_FALSE(interrupt.Requested());
    std::raise(SIGTERM);
    EXPECT_TRUE(interrupt.Requested());
}

TEST(SystemInterrupt, ASecondSignalEndsTheProgram) {
    EXPECT_EXIT(
        {
            cli::SystemInterrupt interrupt;
            std::raise(SIGINT);
            std::raise(SIGINT);
            std::exit(0);
        },
        testing::KilledBySignal(SIGINT), "");
}
#endif

}  // namespace
}  // namespace cli_test
