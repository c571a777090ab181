// read and write with profiles: the files, the round trip through a reader, the checks before
// anything is sent, and the verification after the write.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "uwieg/profile.h"

namespace cli_test {
namespace {

using nlohmann::json;
using Step = trelvo_test::MemoryFiles::Step;

class ProfileCommands : public CliBench {
  protected:
    uwieg::ReaderConfig& stored() { return simReader->reader().config; }
};

TEST_F(ProfileCommands, ReadPrintsTheProfileOrSavesIt) {
    const RunResult r = Run({"--sim", "read"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, uwieg::ProfileFromRecord(stored()));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Wire(*simReader), "O TM Tc o ");

    const RunResult saved = Run({"--sim", "--json", "read", "-o", "kv.json"});
    EXPECT_EQ(saved.code, 0) << saved.err;
    EXPECT_EQ(files.Content("kv.json"), r.out);
    EXPECT_EQ(json::parse(saved.out),
              json::parse(R"({"file":"kv.json","record":"02c0050345000100","notes":[]})"));

    // A name in another encoding than UTF-8 ("łódź.json" in Latin-2) is saved as given and
    // shown with U+FFFD.
    const std::string latin2Name = "\xB3\xF3\x64\xBC.json";
    const RunResult latin2 = Run({"--sim", "--json", "read", "-o", latin2Name});
    EXPECT_EQ(latin2.code, 0) << latin2.err;
    EXPECT_EQ(files.Content(latin2Name), r.out);
    EXPECT_EQ(json::parse(latin2.out).at("file"), "\uFFFD\uFFFDd\uFFFD.json");
}

TEST_F(ProfileCommands, BitsNoControlShowsAreReportedAndSurviveTheRoundTrip) {
    const uwieg::ReaderConfig odd{7, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA};
    stored() = odd;
    const RunResult r = Run({"--sim", "read", "-o", "odd.json"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("trelvo-cli: uwaga: "), std::string::npos) << r.err;

    stored() = {2, 0, 0, 0, 0, 0, 0, 0};
    const RunResult w = Run({"--sim", "write", "odd.json"});
    EXPECT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(stored(), odd);
}

TEST_F(ProfileCommands, AFailedSaveLeavesNoFileAndExitsOne) {
    files.FailAt(Step::kRename, 1);
    const RunResult r = Run({"--sim", "read", "-o", "kv.json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("trelvo-cli: ", 0), 0u);
    EXPECT_FALSE(files.Exists("kv.json"));
}

TEST_F(ProfileCommands, WriteVerifiesAllEightBytesUnlessToldNot) {
    const uwieg::ReaderConfig wanted{2, 0x41, 30, 0x7F, 0xA2, 1, 3, 0};
    files.Put("p.json", uwieg::ProfileFromRecord(wanted));
    const RunResult r = Run({"--sim", "--json", "write", "p.json"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(stored(), wanted);
    EXPECT_EQ(Wire(*simReader), "O TM TC Tc o ");
    EXPECT_EQ(json::parse(r.out), json::parse(R"({"record":"02411e7fa2010300","verified":true,
                                                  "read_back":"02411e7fa2010300"})"));

    simReader->ClearReceived();
    stored() = {};
    const RunResult quick = Run({"--sim", "--json", "write", "--no-verify", "p.json"});
    EXPECT_EQ(quick.code, 0) << quick.err;
    EXPECT_EQ(Wire(*simReader), "O TM TC o ");
    EXPECT_EQ(json::parse(quick.out), json::parse(R"({"record":"02411e7fa2010300",
                                                      "verified":null})"));
}

TEST_F(ProfileCommands, SetChangesOnlyTheNamedFieldsOfTheReadersRecord) {
    stored() = {2, 0xC0, 5, 3, 0x45, 0, 1, 0};
    const RunResult r =
        Run({"--sim", "write", "--set", "wiegand.frame=32+2", "--set", "led.time_100ms=9"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(stored(), (uwieg::ReaderConfig{2, 0xC0, 9, 3, 0x41, 0, 1, 0}));
    EXPECT_EQ(Wire(*simReader), "O TM Tc TC Tc o ");
    EXPECT_EQ(r.out, "Zapisano: 02 C0 09 03 41 00 01 00 (sprawdzono)\n");

    // On top of a profile instead, the reader's record is not read.
    files.Put("p.json", uwieg::ProfileFromRecord({2, 0, 0, 0, 0, 0, 0, 0}));
    simReader->ClearReceived();
    EXPECT_EQ(Run({"--sim", "write", "p.json", "--set", "cards.icode=true"}).code, 0);
    EXPECT_EQ(stored(), (uwieg::ReaderConfig{2, 0, 0, 0, 0, 0, 2, 0}));
    EXPECT_EQ(Wire(*simReader), "O TM TC Tc o ");
}

TEST_F(ProfileCommands, AnInvalidProfileExitsFiveNamingKeyAndPositionAndSendsNothing) {
    const std::string good = uwieg::ProfileFromRecord(stored());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Case {
        std::string text;
        std::string expected;  // in the message, after "p.json:"
    };
    const Case cases[] = {
        {replaced("\"frame\": \"64+2\"", "\"frame\": \"65+2\""), "klucz „wiegand.frame”"},
        {replaced("\"time_100ms\": 5", "\"time_100ms\": 256"), "klucz „led.time_100ms”"},
        {replaced("\"mifare\": true", "\"mifare\": 1"), "klucz „cards.mifare”"},
        {replaced("\"icode\": false", "\"icode\": false, \"felica\": true"),
         "klucz „cards.felica”"},
        {replaced("{", "{,"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        files.Put("p.json", c.text);
        const RunResult r = Run({"--sim", "write", "p.json"});
        EXPECT_EQ(r.code, 5);
        // "trelvo-cli: p.json:<line>:<column>: klucz „…”: …"
        EXPECT_EQ(r.err.rfind("trelvo-cli: p.json:", 0), 0u) << r.err;
        const std::size_t line = r.err.find_first_of("0123456789");
        EXPECT_EQ(line, std::string("trelvo-cli: p.json:").size()) << r.err;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_TRUE(simReader->received().empty()) << Wire(*simReader);
    }
    const RunResult set = Run({"--sim", "write", "--set", "wiegand.frame=65+2"});
    EXPECT_EQ(set.code, 5);
    EXPECT_NE(set.err.find("klucz „wiegand.frame”"), std::string::npos) << set.err;
    EXPECT_EQ(Run({"--sim", "write", "missing.json"}).code, 5);
    files.Put("big.json", good + std::string(uwieg::kLargestProfile, ' '));
    const RunResult big = Run({"--sim", "write", "big.json"});
    EXPECT_EQ(big.code, 5);
    EXPECT_EQ(big.err,
              "trelvo-cli: Nie można odczytać pliku „big.json”: plik jest większy niż 1 MiB\n");
    EXPECT_TRUE(simReader->received().empty()) << Wire(*simReader);
    EXPECT_EQ(Run({"--sim", "write"}).code, 1);
}

TEST_F(ProfileCommands, AReaderKeepingAnotherRecordIsAMismatchShowingBoth) {
    AlteringPlatform altering(simulated);
    platforms.simulated = &altering;
    files.Put("p.json", uwieg::ProfileFromRecord({2, 0xC0, 5, 3, 0x45, 0, 1, 0}));
    const RunResult r = Run({"--sim", "--json", "write", "p.json"});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.err,
              "trelvo-cli: Konfiguracja odczytana po zapisie różni się od zapisanej.\n"
              "  zapisano:  02 C0 05 03 45 00 01 00\n"
              "  odczytano: 02 C0 05 03 55 00 01 00\n");
    EXPECT_EQ(json::parse(r.out), json::parse(R"({"record":"02c0050345000100","verified":false,
                                                  "read_back":"02c0050355000100"})"));
    EXPECT_EQ(Run({"--sim", "write", "--no-verify", "p.json"}).code, 0);
}

}  // namespace
}  // namespace cli_test
