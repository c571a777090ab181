// Format files: the built-in table in the file's schema and back, every fault named with its
// key and place, and what a program loads from a good, a faulty and a missing file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/memory_files.h"
#include "uwieg/format_file.h"
#include "uwieg/profile.h"
#include "wiegand/decode.h"
#include "wiegand/encode.h"

namespace uwieg_test {
namespace {

constexpr const char* kSiteFile = R"({
  "format": "trelvo-formats",
  "version": 1,
  "formats": [
    {
      "name": "SITE-30",
      "bits": 30,
      "preference": 5,
      "fields": [
        {"name": "facility", "first": 2, "width": 12},
        {"name": "card", "first": 14, "width": 16}
      ],
      "parity": [
        {"name": "begin", "position": 1, "sense": "even", "covers": [[2, 15]]},
        {"name": "end", "position": 30, "sense": "odd", "covers": [[16, 29]]}
      ]
    }
  ]
}
)";

std::string Edited(const std::string& from, const std::string& to) {
    std::string text = kSiteFile;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(FormatFile, TheBuiltInTableReadsBackRowForRow) {
    const std::string text = uwieg::FormatFileText(wiegand::BuiltInTable());
    EXPECT_NE(text.find(R"({"name":"begin","position":1,"sense":"even","covers":[[2,13]]})"),
              std::string::npos)
        << text;
    const wiegand::FormatTable rows = uwieg::ReadFormatFile(text);
    ASSERT_EQ(rows.size(), wiegand::BuiltInTable().size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const wiegand::Format& back = *rows[i];
        const wiegand::Format& built = *wiegand::BuiltInTable()[i];
        SCOPED_TRACE(built.name);
        EXPECT_EQ(back.name, built.name);
        EXPECT_EQ(back.bits, built.bits);
        EXPECT_EQ(back.preference, built.preference);
        ASSERT_EQ(back.fields.size(), built.fields.size());
        for (std::size_t f = 0; f < back.fields.size(); ++f) {
            EXPECT_EQ(back.fields[f].kind, built.fields[f].kind);
            EXPECT_EQ(back.fields[f].first, built.fields[f].first);
            EXPECT_EQ(back.fields[f].width, built.fields[f].width);
        }
        ASSERT_EQ(back.parity.size(), built.parity.size());
        for (std::size_t p = 0; p < back.parity.size(); ++p) {
            EXPECT_EQ(back.parity[p].name, built.parity[p].name);
            EXPECT_EQ(back.parity[p].position, built.parity[p].position);
            EXPECT_EQ(back.parity[p].odd, built.parity[p].odd);
            EXPECT_EQ(back.parity[p].covers, built.parity[p].covers);
        }
    }
    EXPECT_EQ(uwieg::FormatFileText(rows), text);
}

TEST(FormatFile, EveryFaultNamesItsKeyAndPlace) {
    struct Fault {
        std::string text;
        std::string key;
        int line;
        int column;
        std::string message;
    };
    const std::string second = R"(,
    {"name": "SITE-30", "bits": 26, "fields": [{"name": "card", "first": 1, "width": 26}]}
  ])";
    for (const Fault& fault : std::vector<Fault>{
             {Edited("\"bits\": 30,", "\"bits\": 30"), "", 8, 18, "błąd składni JSON"},
             {Edited("trelvo-formats", "trelvo-profile"), "format", 2, 3, "to nie jest plik"},
             {Edited("\"version\": 1", "\"version\": 2"), "version", 3, 3, "wersja 2"},
             {Edited("\"preference\"", "\"colour\": 1, \"preference\""), "formats[0].colour", 8, 7,
              "nieznany klucz; dozwolone tu: name, bits, fields, preference, parity"},
             {Edited("      \"bits\": 30,\n", ""), "formats[0].bits", 5, 5, "brak klucza"},
             {Edited("\"bits\": 30", "\"bits\": 70"), "formats[0].bits", 7, 7, "od 1 do 69"},
             {Edited("\"name\": \"facility\"", "\"name\": \"site\""), "formats[0].fields[0].name",
              10, 10, "„facility”, „company”, „card”"},
             // A row whose fields overlap, run past the frame, or whose parity covers itself.
             {Edited("\"first\": 14", "\"first\": 13"), "formats[0].fields[1]", 11, 9,
              "pole zachodzi na pole facility"},
             {Edited("\"width\": 16", "\"width\": 18"), "formats[0].fields[1]", 11, 9,
              "pole wychodzi poza ramkę"},
             {Edited("\"name\": \"card\"", "\"name\": \"company\""), "formats[0].fields", 9, 7,
              "brak pola card"},
             {Edited("[[2, 15]]", "[[1, 15]]"), "formats[0].parity[0].covers", 14, 59,
              "obejmuje sam siebie"},
             {Edited("[[2, 15]]", "[[2, 30]]"), "formats[0].parity[0].covers", 14, 59,
              "ten musi być przed nim"},
             {Edited("[[2, 15]]", "[[15, 2]]"), "formats[0].parity[0].covers", 14, 59,
              "od końca do początku"},
             {Edited("[[2, 15]]", "[\"2-15\"]"), "formats[0].parity[0].covers", 14, 59,
              "numeru bitu albo zakresu"},
             {Edited("\"position\": 1,", "\"position\": 2,"), "formats[0].parity[0].position", 14,
              27, "w polu facility"},
             {Edited("\"sense\": \"even\"", "\"sense\": \"EVEN\""), "formats[0].parity[0].sense",
              14, 42, "„even”, „odd”"},
             {Edited("\n  ]", second), "formats[1].name", 18, 6, "nazwa powtórzona"},
         }) {
        SCOPED_TRACE(fault.text);
        try {
            uwieg::ReadFormatFile(fault.text);
            ADD_FAILURE() << "accepted";
        } catch (const uwieg::ProfileError& e) {
            EXPECT_EQ(e.key(), fault.key);
            EXPECT_EQ(e.line(), fault.line);
            EXPECT_EQ(e.column(), fault.column);
            EXPECT_NE(e.message().find(fault.message), std::string::npos) << e.message();
        }
    }
}

TEST(FormatFile, ProgramsUseAGoodFileAndNothingOfABadOne) {
    trelvo_test::MemoryFiles files;
    const auto builtIn = wiegand::BuiltInTable().size();

    const uwieg::CardFormats none = uwieg::LoadCardFormats(files, "/home/u/formats.json", false);
    EXPECT_EQ(none.table.size(), builtIn);
    EXPECT_EQ(none.fault, "");
    EXPECT_NE(uwieg::LoadCardFormats(files, "/x.json", true).fault.find("„/x.json”"),
              std::string::npos);

    // The site's own row, and H10302 put before H10304.
    files.Put("/home/u/formats.json", Edited("\n  ]", R"(,
    {"name": "H10302", "bits": 37, "preference": 1,
     "fields": [{"name": "card", "first": 2, "width": 35}]}
  ])"));
    const uwieg::CardFormats good = uwieg::LoadCardFormats(files, "/home/u/formats.json", false);
    EXPECT_EQ(good.fault, "");
    ASSERT_EQ(good.table.size(), builtIn + 1);
    EXPECT_EQ(good.table.back()->name, "SITE-30");
    wiegand::DecodeSettings settings;
    settings.formats = good.table;
    const auto site =
        wiegand::EncodeReport(*good.table.back(), 1234, 56789, wiegand::ParityChoice::Right, false);
    const auto d = wiegand::Decode(site.data(), site.size(), settings);
    ASSERT_EQ(d.formats.size(), 1u);
    EXPECT_EQ(*d.formats[0].facility, 1234u);
    EXPECT_EQ(d.formats[0].card, 56789u);
    const std::vector<std::uint8_t> h10304{0xA1, 0x80, 0x15, 0x00, 0x04, 0x50};
    EXPECT_EQ(wiegand::Decode(h10304.data(), h10304.size(), settings).Best()->format->name,
              "H10302");

    files.Put("/home/u/formats.json", Edited("\"width\": 16", "\"width\": 18"));
    const uwieg::CardFormats bad = uwieg::LoadCardFormats(files, "/home/u/formats.json", false);
    EXPECT_EQ(bad.table.size(), builtIn);
    EXPECT_EQ(bad.fault,
              "Pominięto plik formatów „/home/u/formats.json”: 11:9: klucz "
              "„formats[0].fields[1]”: pole wychodzi poza ramkę");
}

#ifdef _WIN32
TEST(FormatFile, TheUsersFileLivesInTheConfigurationFolder) {
    _putenv_s("APPDATA", "C:\\Users\\u\\AppData\\Roaming");
    EXPECT_EQ(uwieg::UserFormatFilePath(), "C:\\Users\\u\\AppData\\Roaming\\Trelvo\\formats.json");
}
#else
TEST(FormatFile, TheUsersFileLivesInTheConfigurationFolder) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string oldXdg = xdg != nullptr ? xdg : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(uwieg::UserFormatFilePath(), "/cfg/trelvo/formats.json");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(uwieg::UserFormatFilePath(), "/home/u/.config/trelvo/formats.json");
    setenv("HOME", home.c_str(), 1);
    if (xdg != nullptr) {
        setenv("XDG_CONFIG_HOME", oldXdg.c_str(), 1);
    }
}
#endif

}  // namespace
}  // namespace uwieg_test
