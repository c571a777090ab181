// Every command's exit codes, texts and JSON shapes, in-process on simulated interfaces.
#include <nlohmann/json.hpp>
#include <regex>
#include <stdexcept>

#include "cli_fixture.h"
#include "tests/wusb/forwarding_platform.h"
#include "uwieg/image.h"

namespace cli_test {
namespace {

using nlohmann::json;

using Commands = CliBench;

TEST_F(Commands, HelpListsEveryCommandAndExitCodeAndUsageErrorsExitOne) {
    const RunResult help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* word :
         {"list", "info", "monitor", "output", "--device", "--sim", "--json", "--version", "130"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(Run({"--version"}).out, "trelvo-cli 2.1.0\n");
    // Each command's help shows placeholders, never a check's name or limits.
    for (const char* command : {"monitor", "output", "provision", "read", "write"}) {
        const RunResult commandHelp = Run({command, "--help"});
        for (const char* word : {"POSITIVE", "TEXT", "FILE", "{", "Excludes", "oczekiwano"}) {
            EXPECT_EQ(commandHelp.out.find(word), std::string::npos) << command << ": " << word;
        }
    }

    // The longest number any message may hold: an option's own limit (2147483647).
    const std::regex tooLong("[0-9]{11,}");
    const std::regex english(
        "required|expected|not in|range|convert|[Ss]ubcommand|excludes|missing|At Most|"
        "following|Value|POSITIVE|Could");
    struct Case {
        std::vector<std::string> args;
        std::string message;  // the start of the first line after "trelvo-cli: "
    };
    const std::string count = "--count: oczekiwano liczby całkowitej od 1 do 2147483647";
    const std::string duration = "--duration: oczekiwano liczby sekund od 0.001 do 1e9";
    for (const Case& c : std::vector<Case>{
             {{}, "brak polecenia; polecenia: list, info, "},
             {{"--sim", "frobnicate"}, "nieznane polecenie „frobnicate”; polecenia: list, info, "},
             {{"--sim", "monitr"}, "nieznane polecenie „monitr”; czy chodziło o „monitor”? Pol"},
             {{"prov", "p.json"}, "nieznane polecenie „prov”; czy chodziło o „provision”?"},
             {{"--bogus"}, "nieznana opcja --bogus\n"},
             {{"--sim", "info", "--bogus=1"}, "nieznana opcja --bogus\n"},
             {{"monitor", "--cuont", "3"}, "nieznana opcja --cuont; czy chodziło o „--count”?\n"},
             {{"info", "extra"}, "nieoczekiwany argument „extra”\n"},
             {{"--device", "G0", "info"}, "--device: oczekiwano numeru na liście (0-7) albo "},
             {{"--device"}, "--device: brak wartości; oczekiwano numeru na liście (0-7) albo "},
             {{"--device", "1", "--device", "2", "info"}, "--device: można podać tylko raz\n"},
             {{"--sim=maybe", "info"}, "--sim: ta opcja nie przyjmuje wartości\n"},
             {{"--capture", "", "info"}, "--capture: oczekiwano nazwy pliku\n"},
             {{"--formats", "", "formats"}, "--formats: oczekiwano nazwy pliku\n"},
             {{"output", "--led", "hi"}, "brak wymaganej opcji --buz; oczekiwano hi albo lo\n"},
             {{"output", "--led", "mid", "--buz", "lo"}, "--led: oczekiwano hi albo lo\n"},
             {{"monitor", "--count", "0"}, count + "\n"},
             {{"--sim", "monitor", "--count", "x"}, count + "\n"},
             {{"monitor", "--count", "99999999999999999999"}, count + "\n"},
             {{"monitor", "--count"}, "--count: brak wartości; oczekiwano liczby całkowitej od 1"},
             {{"monitor", "--count", "1", "--count", "2"}, "--count: można podać tylko raz\n"},
             {{"monitor", "--duration", "1e300"}, duration + "\n"},
             {{"monitor", "--duration", "0"}, duration + "\n"},
             {{"monitor", "--duration", "nan"}, duration + "\n"},
             {{"provision"}, "brak wymaganego argumentu PROFIL; oczekiwano nazwy pliku\n"},
             {{"provision", "p.json", "--all", "--watch"},
              "opcje --all i --watch wykluczają się; podaj jedną z nich\n"},
             {{"read", "-o", ""}, "--output: oczekiwano nazwy pliku\n"},
             {{"write", "--set"}, "--set: brak wartości; oczekiwano KLUCZ=WARTOŚĆ\n"},
         }) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_EQ(r.err.rfind("trelvo-cli: " + c.message, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\nWięcej: trelvo-cli "), std::string::npos) << r.err;
        EXPECT_FALSE(std::regex_search(r.err, english)) << r.err;
        EXPECT_FALSE(std::regex_search(r.err, tooLong)) << r.err;
    }
    EXPECT_EQ(Run({"monitor", "--count", "5"}).err,
              "trelvo-cli: Nie znaleziono interface'u USB-Wiegand.\n");
    EXPECT_TRUE(simReader->received().empty());
}

TEST_F(Commands, ListShowsIndexSerialAndPath) {
    PlugUsb("0001A2F3");
    PlugUsb("0000BEEF");
    const RunResult text = Run({"list"});
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out, "0  0001A2F3  sim:0\n1  0000BEEF  sim:1\n");

    const RunResult r = Run({"list", "--json"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(json::parse(r.out), json::parse(R"([{"index":0,"serial":"0001A2F3","path":"sim:0"},
                              {"index":1,"serial":"0000BEEF","path":"sim:1"}])"));
}

TEST_F(Commands, NoInterfaceExitsTwoWithTheWindowsText) {
    const RunResult list = Run({"--json", "list"});
    EXPECT_EQ(list.code, 2);
    EXPECT_EQ(json::parse(list.out), json::array());
    EXPECT_EQ(list.err, "trelvo-cli: Nie znaleziono interface'u USB-Wiegand.\n");
    for (const char* command : {"info", "monitor"}) {
        const RunResult r = Run({command});
        EXPECT_EQ(r.code, 2) << command;
        EXPECT_EQ(r.err, "trelvo-cli: Nie znaleziono interface'u USB-Wiegand.\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Run({"output", "--led", "hi", "--buz", "hi"}).code, 2);
}

TEST_F(Commands, InfoOnTheSimulator) {
    simReader->reader().firmwareVersion = 1;
    const RunResult r = Run({"--sim", "--json", "info"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::parse(R"J({"type":51,"number":42,"variant":0,
        "firmware":1,"label":"Czytnik KV-T51X, Nr: 00042 (soft: 1)","upgrade_available":true})J"));
    EXPECT_EQ(Wire(*simReader), "O TM o ");

    simReader->reader().firmwareVersion = uwieg::BuiltInImage(51)->version();
    const RunResult text = Run({"--sim", "info"});
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
              "Czytnik KV-T51X, Nr: 00042 (soft: " +
                  std::to_string(simReader->reader().firmwareVersion) + ")");
    EXPECT_NE(text.out.find("upgrade:        niepotrzebny"), std::string::npos);
}

TEST_F(Commands, DeviceChoosesByIndexOrSerial) {
    PlugUsb("0001A2F3")->reader().readerNumber = 1;
    PlugUsb("0000BEEF")->reader().readerNumber = 2;
    PlugUsb("12345678")->reader().readerNumber = 3;
    const auto number = [&](const std::vector<std::string>& args) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        return r.code == 0 ? json::parse(r.out).at("number").get<int>() : -1;
    };
    EXPECT_EQ(number({"--json", "info"}), 1);
    EXPECT_EQ(number({"--json", "--device", "2", "info"}), 3);
    EXPECT_EQ(number({"--json", "--device", "0000beef", "info"}), 2);
    EXPECT_EQ(number({"info", "--json", "--device", "12345678"}), 3);

    const RunResult missing = Run({"--device", "3", "info"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err,
              "trelvo-cli: Nie znaleziono interface'u USB-Wiegand nr 3 (znaleziono: 3).\n");
    EXPECT_EQ(Run({"--device", "0BADCAFE", "info"}).code, 2);
}

TEST_F(Commands, UsbIdsReachTheMachinesPlatformAndBadOnesAreUsageErrors) {
    PlugUsb("0001A2F3");
    const RunResult listed = Run({"--usb-id", "1209:57a1", "list", "--usb-id", "2A3B:C4D"});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(platforms.nativeNamedDevices,
              (std::vector<wusb::UsbId>{{0x1209, 0x57A1}, {0x2A3B, 0x0C4D}}));
    for (const char* wrong : {"1209", "1209:57A1,2A3B:C4D", "12345:1", "x:1"}) {
        const RunResult r = Run({"--usb-id", wrong, "list"});
        EXPECT_EQ(r.code, 1) << wrong;
        EXPECT_NE(r.err.find("VID:PID"), std::string::npos) << r.err;
    }
}

TEST_F(Commands, OutputSetsTheLinesAsTheTestTabDoes) {
    struct Case {
        const char* led;
        const char* buz;
        std::uint8_t lines;  // BUZ item × 2 + LED item, Hi being item 0
    };
    for (const Case& c :
         {Case{"hi", "hi", 0}, Case{"lo", "hi", 1}, Case{"HI", "Lo", 2}, Case{"lo", "lo", 3}}) {
        SCOPED_TRACE(std::string(c.led) + "/" + c.buz);
        simReader->ClearReceived();
        const RunResult r = Run({"--sim", "output", "--led", c.led, "--buz", c.buz});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(simReader->outputLines(), c.lines);
        EXPECT_EQ(Wire(*simReader), "S ");
    }
    const RunResult r = Run({"--sim", "--json", "output", "--led", "Lo", "--buz", "hi"});
    EXPECT_EQ(json::parse(r.out), json::parse(R"({"led":"lo","buz":"hi"})"));
}

TEST_F(Commands, AFailingReaderExitsThreeWithTheWindowsTextAndClosesTheChannel) {
    simReader->InjectFault({sim::FaultKind::NoAnswer, 'T', 'M'});
    const RunResult r = Run({"--sim", "info"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "trelvo-cli: Błąd komunikacji z interfacem USB-Wiegand.\n");
    EXPECT_FALSE(simReader->channelOpen());

    simReader->reader().typeNumber = 42;
    EXPECT_EQ(Run({"--sim", "info"}).err, "trelvo-cli: Nie znany typ czytnika.\n");

    simReader->InjectFault({sim::FaultKind::Nak, 'S'});
    const RunResult output = Run({"--sim", "output", "--led", "hi", "--buz", "hi"});
    EXPECT_EQ(output.code, 3);
    EXPECT_EQ(output.err.rfind("trelvo-cli: ", 0), 0u);

    // Whatever else escapes a command is said the same way, never ending in std::terminate.
    struct Throwing final : wusb::ForwardingPlatform {
        using ForwardingPlatform::ForwardingPlatform;
        bool ListInterfaces(const wusb::Guid&, std::vector<wusb::InterfacePath>&) override {
            throw std::length_error("za długa lista");
        }
    } throwing(simulated);
    platforms.simulated = &throwing;
    const RunResult unexpected = Run({"--sim", "info"});
    EXPECT_EQ(unexpected.code, 3);
    EXPECT_EQ(unexpected.err, "trelvo-cli: za długa lista\n");
}

TEST_F(Commands, AnInterruptBeforeTheWorkSendsNothing) {
    interrupt.when = [] { return true; };
    EXPECT_EQ(Run({"--sim", "info"}).code, 130);
    EXPECT_TRUE(simReader->received().empty());
}

}  // namespace
}  // namespace cli_test
