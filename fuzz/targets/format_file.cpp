// Format files, the user's own card formats. Input: the whole input is a format file; an
// accepted one also decodes the input's first bytes as a report with its rows.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/support/check.h"
#include "fuzz/support/rejection_check.h"
#include "uwieg/format_file.h"
#include "uwieg/profile.h"
#include "wiegand/decode.h"

namespace {

// Accepted rows are sound, print as a file that reads back to the same text, and decode.
void CheckAccepted(const wiegand::FormatTable& rows, const std::uint8_t* data, std::size_t size) {
    for (const auto& row : rows) {
        FUZZ_CHECK(!wiegand::CheckRow(*row));
    }
    const std::string text = uwieg::FormatFileText(rows);
    FUZZ_CHECK(uwieg::FormatFileText(uwieg::ReadFormatFile(text)) == text);
    wiegand::DecodeSettings settings;
    settings.formats = wiegand::MergedTable(settings.formats, rows);
    const wiegand::Decoded d = wiegand::Decode(data, std::min<std::size_t>(size, 27), settings);
    for (const wiegand::Interpretation& it : d.formats) {
        FUZZ_CHECK(it.format->bits == (d.kind == 3 ? d.bits + 2 : d.bits));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        CheckAccepted(uwieg::ReadFormatFile(text), data, size);
    } catch (const uwieg::ProfileError& error) {
        fuzz::CheckRejection(error, text);
    }
    return 0;
}
