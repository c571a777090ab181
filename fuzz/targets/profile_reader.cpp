// Profile texts and "key=value" settings. Input: the whole input is a profile text; its lines
// are also settings applied on top of a record made of the input's first 8 bytes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/support/check.h"
#include "fuzz/support/rejection_check.h"
#include "uwieg/profile.h"

namespace {

// Every accepted record gives a profile that reads back to the same bytes and the same text.
void CheckAccepted(const uwieg::ReaderConfig& record) {
    const std::string text = uwieg::ProfileFromRecord(record);
    const uwieg::ReaderConfig back = uwieg::RecordFromProfile(text);
    FUZZ_CHECK(back == record);
    FUZZ_CHECK(uwieg::ProfileFromRecord(back) == text);
}

std::vector<std::string> LinesOf(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty() && lines.size() < 32) {
        const auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        CheckAccepted(uwieg::RecordFromProfile(text));
    } catch (const uwieg::ProfileError& error) {
        fuzz::CheckRejection(error, text);
    }

    uwieg::ReaderConfig base{};
    std::copy_n(data, std::min(size, base.size()), base.begin());
    CheckAccepted(base);
    const std::vector<std::string> settings = LinesOf(text);
    try {
        CheckAccepted(uwieg::ApplyProfileSettings(base, settings));
    } catch (const uwieg::ProfileError& error) {
        // Settings have no positions: the key must be named, unless a setting had none at all.
        const bool blank = std::any_of(settings.begin(), settings.end(), [](const std::string& s) {
            return s.find_first_not_of(" \t") == std::string::npos;
        });
        FUZZ_CHECK(error.line() == 0 && (!error.key().empty() || blank));
    }
    return 0;
}
