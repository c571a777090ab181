// Profiles against the records they describe: every record the window can produce, and records
// carrying bits the window cannot show, come back as the identical 8 bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>

#include "uwieg/config.h"
#include "uwieg/profile.h"

namespace uwieg_test {
namespace {

using uwieg::ReaderConfig;

// ProfileFromRecord then RecordFromProfile; fails the test with the profile text on a change.
void ExpectRoundTrip(const ReaderConfig& record, std::size_t expectedNotes) {
    std::vector<std::string> notes;
    const std::string text = uwieg::ProfileFromRecord(record, &notes);
    ReaderConfig back{};
    try {
        back = uwieg::RecordFromProfile(text);
    } catch (const uwieg::ProfileError& error) {
        FAIL() << error.what() << "\n" << text;
    }
    ASSERT_EQ(back, record) << text;
    ASSERT_EQ(notes.size(), expectedNotes) << text;
}

// Every record the window can produce: every combination of its switch-like controls (8 signal
// flag states x 96 Wiegand formats x 2 keypad widths x 4 card sets), with the LED time and the
// buzzer pattern cycling alongside so that each of their values occurs too. Those two are bytes
// of their own, so their full product with the rest would add time, not cases: a field's text
// is made from its own bits only, which the other tests here pin down.
TEST(ProfileRoundTrip, EveryRecordTheWindowProduces) {
    const auto start = std::chrono::steady_clock::now();
    std::set<std::array<std::uint8_t, 4>> switchBytes;
    std::set<std::uint8_t> times;
    std::set<std::uint8_t> patterns;
    int n = 0;
    for (int flags = 0; flags < 8; ++flags)
        for (int size = 0; size <= 5; ++size)
            for (int format = 0; format < 16; ++format)
                for (int keypad = 0; keypad <= 1; ++keypad)
                    for (int cards = 0; cards < 4; ++cards, ++n) {
                        uwieg::ConfigControls controls;
                        controls.ledChecked = (flags & 1) != 0;
                        controls.buzChecked = (flags & 2) != 0;
                        controls.ledStabItem = flags >> 2;
                        controls.wiegSizeItem = size;
                        controls.noParityChecked = (format & 1) != 0;
                        controls.wiegOrderItem = format >> 1 & 1;
                        controls.wiegEndBitItem = format >> 2 & 1;
                        controls.wiegBegBitItem = format >> 3 & 1;
                        controls.keybItem = keypad;
                        controls.mifareChecked = (cards & 1) != 0;
                        controls.icodeChecked = (cards & 2) != 0;
                        controls.ledTimText = std::to_string(n % 256);
                        const int pattern = (n + n / 256) % 128;
                        for (std::size_t i = 0; i < 7; ++i) {
                            controls.buzSlots[i] = (pattern >> i & 1) != 0;
                        }
                        const ReaderConfig record = uwieg::EncodeConfig(controls);
                        switchBytes.insert({record[1], record[4], record[5], record[6]});
                        times.insert(record[2]);
                        patterns.insert(record[3]);
                        ExpectRoundTrip(record, 0);
                        if (HasFatalFailure()) {
                            return;
                        }
                    }
    EXPECT_EQ(switchBytes.size(), 6144u);
    EXPECT_EQ(times.size(), 256u);
    EXPECT_EQ(patterns.size(), 128u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::cout << n << " records in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms\n";
}

// What the window would drop is kept, and each such bit is named once in the notes.
TEST(ProfileRoundTrip, BitsTheWindowCannotShowAreKeptAndReported) {
    constexpr ReaderConfig kUnshown{0x00, 0x3E, 0x00, 0x80, 0x10, 0xFE, 0xFC, 0xFF};
    uwieg::ConfigControls controls;
    controls.keybItem = 0;
    const ReaderConfig plain = uwieg::EncodeConfig(controls);
    for (std::size_t byte = 0; byte < plain.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            if ((kUnshown[byte] >> bit & 1) == 0) {
                continue;
            }
            ReaderConfig record = plain;
            record[byte] = static_cast<std::uint8_t>(record[byte] | 1 << bit);
            SCOPED_TRACE("byte " + std::to_string(byte) + " bit " + std::to_string(bit));
            ExpectRoundTrip(record, 1);
        }
    }
    for (int mark = 0; mark < 256; ++mark) {
        ReaderConfig record = plain;
        record[0] = static_cast<std::uint8_t>(mark);
        ExpectRoundTrip(record, mark == 2 ? 0 : 1);
    }
    for (int format = 0; format < 256; ++format) {
        ReaderConfig record = plain;
        record[4] = static_cast<std::uint8_t>(format);
        const std::size_t notes = ((format & 7) > 5 ? 1 : 0) + ((format & 0x10) != 0 ? 1 : 0);
        SCOPED_TRACE("format " + std::to_string(format));
        ExpectRoundTrip(record, notes);
    }
    ReaderConfig everything{};
    everything.fill(0xFF);
    ExpectRoundTrip(everything, 1 + 1 + 5 + 1 + 1 + 7 + 6 + 8);
}

TEST(ProfileRoundTrip, AnyEightBytes) {
    std::mt19937 random(12);
    for (int i = 0; i < 1000; ++i) {
        ReaderConfig record;
        for (auto& byte : record) {
            byte = static_cast<std::uint8_t>(random());
        }
        const std::string text = uwieg::ProfileFromRecord(record);
        ASSERT_EQ(uwieg::RecordFromProfile(text), record) << text;
        // The text is stable: the record read back gives the same text.
        ASSERT_EQ(uwieg::ProfileFromRecord(uwieg::RecordFromProfile(text)), text);
    }
}

}  // namespace
}  // namespace uwieg_test
