// Profile texts: what the named fields mean, and every kind of fault named with its key and place.
#include <gtest/gtest.h>

#include "uwieg/config.h"
#include "uwieg/profile.h"

namespace uwieg_test {
namespace {

using uwieg::ReaderConfig;

ReaderConfig WindowDefaults() {
    uwieg::ConfigControls controls;
    controls.keybItem = 0;
    return uwieg::EncodeConfig(controls);
}

constexpr const char* kDefaultProfile = R"({
  "format": "trelvo-profile",
  "version": 1,
  "wiegand": {
    "frame": "24+2",
    "byte_order": "hi-lo",
    "parity_bits": true,
    "begin_parity": "even",
    "end_parity": "odd"
  },
  "keypad": {
    "key_bits": 4
  },
  "led": {
    "read_signal": true,
    "time_100ms": 5,
    "steady_colour": "red"
  },
  "buzzer": {
    "active": true,
    "slots": "1100000"
  },
  "cards": {
    "mifare": true,
    "icode": false
  }
}
)";

// The default profile with one piece of text replaced.
std::string Edited(const std::string& from, const std::string& to) {
    std::string text = kDefaultProfile;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(Profile, TextIsStableIndentedAndEndsWithANewline) {
    std::vector<std::string> notes;
    EXPECT_EQ(uwieg::ProfileFromRecord(WindowDefaults(), &notes), kDefaultProfile);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(uwieg::RecordFromProfile(kDefaultProfile), WindowDefaults());
}

// A consistent mix-up on both sides would still round-trip; the fields must mean what the
// window's controls mean.
TEST(Profile, NamedFieldsMeanWhatTheWindowShows) {
    const ReaderConfig record = uwieg::ApplyProfileSettings(
        WindowDefaults(),
        {"wiegand.frame=56+2", "wiegand.byte_order=lo-hi", "wiegand.parity_bits=false",
         "wiegand.begin_parity=odd", "wiegand.end_parity=even", "keypad.key_bits=8",
         "led.read_signal=false", "led.time_100ms=255", "led.steady_colour=green",
         "buzzer.active=false", "buzzer.slots=0000001", "cards.mifare=false", "cards.icode=true"});
    uwieg::ConfigControls controls;
    EXPECT_TRUE(uwieg::DecodeConfig(record, controls));
    EXPECT_EQ(controls.wiegSizeItem, 4);    // "56+2 bity"
    EXPECT_EQ(controls.wiegOrderItem, 1);   // "Lo...Hi"
    EXPECT_TRUE(controls.noParityChecked);  // "Bez bitów"
    EXPECT_EQ(controls.wiegBegBitItem, 1);  // "Odd"
    EXPECT_EQ(controls.wiegEndBitItem, 0);  // "Even"
    EXPECT_EQ(controls.keybItem, 1);        // "8 bitów"
    EXPECT_FALSE(controls.ledChecked);
    EXPECT_EQ(controls.ledTimText, "255");
    EXPECT_EQ(controls.ledStabItem, 1);  // "Zielony"
    EXPECT_FALSE(controls.buzChecked);
    EXPECT_EQ(controls.buzSlots,
              (std::array<bool, 7>{false, false, false, false, false, false, true}));
    EXPECT_FALSE(controls.mifareChecked);
    EXPECT_TRUE(controls.icodeChecked);
    EXPECT_EQ(record, (ReaderConfig{2, 0x01, 255, 0x40, 0xAC, 1, 2, 0}));

    // The frame without parity bits still carries the parity groups' settings.
    const std::string text = uwieg::ProfileFromRecord(ReaderConfig{2, 0, 0, 0, 0x48, 0, 0, 0});
    EXPECT_NE(text.find(R"("frame": "24+2")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("parity_bits": false)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("begin_parity": "even")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("end_parity": "odd")"), std::string::npos) << text;
}

struct Fault {
    std::string text;
    std::string key;
    int line;
    int column;
    std::string message;  // a fragment of it
};

void ExpectFault(const Fault& fault) {
    SCOPED_TRACE(fault.text);
    try {
        uwieg::RecordFromProfile(fault.text);
        ADD_FAILURE() << "accepted";
    } catch (const uwieg::ProfileError& error) {
        EXPECT_EQ(error.key(), fault.key);
        EXPECT_EQ(error.line(), fault.line);
        EXPECT_EQ(error.column(), fault.column);
        EXPECT_NE(error.message().find(fault.message), std::string::npos) << error.what();
        const std::string where =
            std::to_string(fault.line) + ":" + std::to_string(fault.column) + ": ";
        EXPECT_EQ(std::string(error.what()).rfind(where, 0), 0u) << error.what();
    }
}

TEST(ProfileFaults, SyntaxErrorsPointAtTheCharacter) {
    for (const Fault& fault : std::vector<Fault>{
             {"", "", 1, 1, "tekst JSON urywa się"},
             {"{\n  \"format\": \"trelvo-profile\",\n  \"version\" 1", "", 3, 13, "„1”"},
             {Edited("\"icode\": false\n", "\"icode\": false,\n"), "", 26, 3,
              "błąd składni JSON przy „}”"},
             {Edited("  }\n}\n", "  }\n"), "", 27, 1, "tekst JSON urywa się"},
             // Columns count characters: "ż" and "ó" are two bytes each.
             {"{\"żółw\": 1 x}", "", 1, 12, "przy „x}”"},
             {"\xEF\xBB\xBF{\r\n\"format\" x", "", 2, 10, "„x”"},
             {"{\"format\": \"\xC3\x28\"}", "", 1, 14, "składni JSON przy „(\"}”"},  // not UTF-8
             {std::string(100, '[') + std::string(100, ']'), "", 1, 65, "zagnieżdżenie"},
         }) {
        ExpectFault(fault);
    }
}

TEST(ProfileFaults, IdentityIsCheckedFirst) {
    for (const Fault& fault : std::vector<Fault>{
             {"[1, 2]", "", 1, 1, "obiektem"},
             {"  {}", "format", 1, 3, "to nie jest profil"},
             {Edited("\"trelvo-profile\"", "\"other\""), "format", 2, 3, "to nie jest profil"},
             {Edited("\"version\": 1", "\"version\": 2"), "version", 3, 3, "wersja profilu 2"},
             {Edited("\"version\": 1", "\"version\": \"1\""), "version", 3, 3, "wersja"},
             {Edited("  \"version\": 1,\n", ""), "version", 1, 1, "brak klucza"},
             // A later version is named as such, not as a list of unknown keys.
             {Edited("\"version\": 1", "\"version\": 2, \"new\": 0"), "version", 3, 3, "wersja"},
         }) {
        ExpectFault(fault);
    }
}

TEST(ProfileFaults, UnknownMissingAndRepeatedKeys) {
    for (const Fault& fault : std::vector<Fault>{
             {Edited("\"keypad\": {", "\"extra\": 1,\n  \"keypad\": {"), "extra", 11, 3,
              "nieznany klucz; dozwolone tu: format, version, wiegand, keypad, led, buzzer, cards, "
              "reserved"},
             {Edited("\"key_bits\": 4", "\"key_bits\": 4, \"keybits\": 4"), "keypad.keybits", 12,
              20, "nieznany klucz; dozwolone tu: key_bits"},
             {Edited("\"keypad\": {", "\"wiegand.frame\": \"24+2\", \"keypad\": {"),
              "wiegand.frame", 11, 3, "nieznany klucz"},
             {Edited("\"keypad\": {", "\"\": {}, \"keypad\": {"), "", 11, 3, "nieznany klucz"},
             {Edited("    \"mifare\": true,\n", ""), "cards.mifare", 23, 3, "brak klucza"},
             {Edited("\"keypad\": {\n    \"key_bits\": 4\n  },\n", ""), "keypad", 1, 1,
              "brak klucza"},
             {Edited("\"led\": {", "\"led\": 5, \"x\": {"), "led", 14, 3, "oczekiwano obiektu"},
             {Edited("\"icode\": false", "\"icode\": false, \"mifare\": false"), "cards.mifare", 25,
              21, "powtórzony"},
         }) {
        ExpectFault(fault);
    }
}

TEST(ProfileFaults, WrongTypesAndValuesNameTheKey) {
    for (const Fault& fault : std::vector<Fault>{
             {Edited("\"24+2\"", "24"), "wiegand.frame", 5, 5,
              "nieprawidłowa wartość 24; dozwolone: „24+2”, „32+2”, „40+2”, „48+2”, „56+2”, "
              "„64+2”"},
             {Edited("\"24+2\"", "\"24+2 bity\""), "wiegand.frame", 5, 5, "\"24+2 bity\""},
             {Edited("\"hi-lo\"", "\"HI-LO\""), "wiegand.byte_order", 6, 5, "„lo-hi”"},
             {Edited("\"parity_bits\": true", "\"parity_bits\": 1"), "wiegand.parity_bits", 7, 5,
              "true albo false"},
             {Edited("\"key_bits\": 4", "\"key_bits\": 6"), "keypad.key_bits", 12, 5, "4 albo 8"},
             {Edited("\"key_bits\": 4", "\"key_bits\": 8.0"), "keypad.key_bits", 12, 5, "4 albo 8"},
             {Edited("\"time_100ms\": 5", "\"time_100ms\": 256"), "led.time_100ms", 16, 5,
              "256 poza zakresem od 0 do 255"},
             {Edited("\"time_100ms\": 5", "\"time_100ms\": -1"), "led.time_100ms", 16, 5,
              "poza zakresem"},
             {Edited("\"time_100ms\": 5", "\"time_100ms\": 18446744073709551615"), "led.time_100ms",
              16, 5, "poza zakresem"},
             {Edited("\"time_100ms\": 5", "\"time_100ms\": 0.5"), "led.time_100ms", 16, 5,
              "liczby całkowitej"},
             {Edited("\"time_100ms\": 5", "\"time_100ms\": \"5\""), "led.time_100ms", 16, 5,
              "liczby całkowitej"},
             {Edited("\"red\"", "null"), "led.steady_colour", 17, 5, "null"},
             {Edited("\"1100000\"", "\"110000\""), "buzzer.slots", 21, 5, "7 znaków 0 lub 1"},
             {Edited("\"1100000\"", "\"110000x\""), "buzzer.slots", 21, 5, "7 znaków"},
             {Edited("\"1100000\"", "[1, 1, 0, 0, 0, 0, 0]"), "buzzer.slots", 21, 5, "tablica"},
         }) {
        ExpectFault(fault);
    }
}

TEST(ProfileFaults, ReservedBitsStayOutOfTheNamedFields) {
    const auto withReserved = [](const std::string& reserved) {
        return Edited("    \"icode\": false\n  }\n",
                      "    \"icode\": false\n  },\n  \"reserved\": {" + reserved + "}\n");
    };
    for (const Fault& fault : std::vector<Fault>{
             {withReserved("\"bits\": \"0001000000000000\""), "reserved.bits", 27, 16,
              "bajt 1 (flagi sygnalizacji)"},
             {withReserved("\"bits\": \"00\""), "reserved.bits", 27, 16, "16 cyfr"},
             {withReserved("\"frame_index\": 6"), "reserved.frame_index", 27, 16, "„64+2”"},
             {withReserved("\"frame_index\": 5"), "reserved.frame_index", 27, 16, "od 6 do 7"},
             {withReserved("\"record_mark\": 256"), "reserved.record_mark", 27, 16, "od 0 do 255"},
             {withReserved("\"mark\": 2"), "reserved.mark", 27, 16, "nieznany klucz"},
         }) {
        ExpectFault(fault);
    }
    EXPECT_EQ(uwieg::RecordFromProfile(
                  withReserved("\"bits\": \"00000000000000FF\", \"record_mark\": 0")),
              (ReaderConfig{0, 0xC0, 5, 0x03, 0x40, 0, 1, 0xFF}));
}

TEST(ProfileSettings, ApplyOnTopOfTheBaseKeepingEverythingElse) {
    const ReaderConfig base{7, 0xC3, 9, 0x85, 0x1E, 0x03, 0x05, 0x10};
    EXPECT_EQ(uwieg::ApplyProfileSettings(base, {}), base);
    // Bare words, JSON scalars and quoted text; blanks around the parts are ignored.
    EXPECT_EQ(uwieg::ApplyProfileSettings(
                  base, {"led.time_100ms=20", " cards.icode = false ", "wiegand.frame=\"32+2\""}),
              (ReaderConfig{7, 0xC3, 20, 0x85, 0x19, 0x03, 0x05, 0x10}));
    // The unshown bits can be cleared by name as well.
    EXPECT_EQ(uwieg::ApplyProfileSettings(
                  base, {"reserved.bits=0000000000000000", "reserved.record_mark=2"}),
              (ReaderConfig{2, 0xC1, 9, 0x05, 0x0E, 0x01, 0x01, 0x00}));
    // The last setting of a key wins.
    EXPECT_EQ(uwieg::ApplyProfileSettings(base, {"led.time_100ms=1", "led.time_100ms=2"})[2], 2);
}

TEST(ProfileSettings, FaultsNameTheKeyWithoutAPosition) {
    const struct {
        std::string setting;
        std::string key;
        std::string message;
    } cases[] = {
        {"wiegand.frame", "wiegand.frame", "klucz=wartość"},
        {"=5", "=5", "klucz=wartość"},
        {"  ", "", "klucz=wartość"},
        {"wiegand=5", "wiegand", "nieznany klucz; znane klucze: format, version, wiegand.frame"},
        {"led.time=5", "led.time", "nieznany klucz"},
        {"wiegand.frame=22+2", "wiegand.frame", "\"22+2\""},
        {"led.time_100ms=300", "led.time_100ms", "300 poza zakresem"},
        {"led.time_100ms=five", "led.time_100ms", "\"five\""},
        {"cards.icode=yes", "cards.icode", "true albo false"},
        {"buzzer.slots=11", "buzzer.slots", "7 znaków"},
        {"version=2", "version", "wersja profilu 2"},
        {"reserved.frame_index=6", "reserved.frame_index", "„64+2”"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        try {
            uwieg::ApplyProfileSettings(WindowDefaults(), {"led.time_100ms=9", c.setting});
            ADD_FAILURE() << "accepted";
        } catch (const uwieg::ProfileError& error) {
            EXPECT_EQ(error.key(), c.key);
            EXPECT_EQ(error.line(), 0);
            EXPECT_EQ(error.column(), 0);
            EXPECT_NE(error.message().find(c.message), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace uwieg_test
