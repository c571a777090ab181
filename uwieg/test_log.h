// The transmissions received since the program started: each one's time, memo line, payload and
// decode, kept once for the window, the command line and the saved CSV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "uwieg/dialogs.h"
#include "uwieg/test_channel.h"
#include "wiegand/decode.h"
#include "wusb/clock.h"
#include "wusb/files.h"

namespace uwieg {

struct TestLogEntry {
    wusb::TimeStamp time;
    std::string line;  // as the memo shows it
    std::vector<std::uint8_t> payload;
    wiegand::Decoded decoded;
};

class TestLog {
  public:
    // A transmission the poll took at `time`, decoded with the formats and the reader's
    // configuration known then.
    const TestLogEntry& Add(wusb::TimeStamp time, const TestReport& report);
    const std::vector<TestLogEntry>& entries() const { return entries_; }
    wiegand::DecodeSettings& decoding() { return decoding_; }

    // Header "time,line,kind,bits,data,format,facility,card,parity", then one row per reading
    // of each entry, the first reading first (the others repeat the entry's first five
    // fields), or one row for an entry without readings (RFC 4180: CRLF line ends, fields with
    // commas, quotes or line breaks quoted).
    std::string Csv() const;

  private:
    std::vector<TestLogEntry> entries_;
    wiegand::DecodeSettings decoding_;
};

// "Plik → Zapisz log testu…": asks where, then writes the whole CSV at once (a temporary file
// renamed over the chosen one, so a failed save never leaves half a file). A failure is shown
// in the error box. True when the file was written; false when cancelled or failed.
bool SaveTestLog(const TestLog& log, wusb::Files& files, Dialogs& dialogs);

// Local time of day, "12:03:04".
std::string ClockTime(wusb::TimeStamp t);
// Local date and time with milliseconds, "2026-12-08 12:03:04.123".
std::string DateTime(wusb::TimeStamp t);
// One field of a CSV row, quoted when it needs to be.
std::string CsvField(const std::string& text);

}  // namespace uwieg
