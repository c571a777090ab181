// Card formats of the user's own: a JSON file of format rows in the schema the built-in table
// is printed in, so `trelvo-cli formats --json` is a start for one's own file.
//
//   {"format": "trelvo-formats", "version": 1, "formats": [
//     {"name": "H10301", "bits": 26, "preference": 10,
//      "fields": [{"name": "facility", "first": 2, "width": 8}, {"name": "card", …}],
//      "parity": [{"name": "begin", "position": 1, "sense": "even", "covers": [[2, 13]]}, …]}]}
//
// Positions count from 1, as published layouts do. A field is "facility", "company" or "card"
// (one card field per row), `first` its most significant bit; `covers` lists positions and
// [first, last] ranges; a parity bit comes after every parity bit it covers. "preference"
// (default 0) orders readings that fit: lower first. "parity" may be left out. A row named as
// a built-in one replaces it.
#pragma once

#include <cstdint>

#include <string>
#include <string_view>

#include "wiegand/formats.h"
#include "wusb/files.h"

namespace uwieg {

// A format file is a few rows; a larger one is refused unread.
inline constexpr std::uint64_t kLargestFormatFile = 1 << 20;

inline constexpr std::string_view kFormatFileFormat = "trelvo-formats";
inline constexpr int kFormatFileVersion = 1;

// The rows as a format file: two-space indentation, one field or parity bit per line.
std::string FormatFileText(const wiegand::FormatTable& rows);

// The rows of a format file. Throws ProfileError naming the key ("formats[2].fields[0].width")
// and its line:column at the first fault; nothing of a faulty file is returned.
wiegand::FormatTable ReadFormatFile(std::string_view text);

// The user's format file: %APPDATA%\Trelvo\formats.json on Windows, else
// $XDG_CONFIG_HOME/trelvo/formats.json ($HOME/.config when unset). Empty when neither is set.
std::string UserFormatFilePath();

struct CardFormats {
    wiegand::FormatTable table;  // the built-in rows with the file's
    std::string fault;           // Polish, empty when the file was used or is not there
};

// The built-in table with the rows of the file at `path`. A file that is missing (unless
// `required`), unreadable or invalid leaves the built-in table alone and says why in `fault`.
CardFormats LoadCardFormats(wusb::Files& files, const std::string& path, bool required);

}  // namespace uwieg
