#include "wusb/usb_ids.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace wusb {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint16_t> HexId(std::string_view digits) {
    std::uint16_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, 16);
    if (digits.empty() || digits.size() > 4 || error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

}  // namespace

UsbIdList ParseUsbIds(std::string_view text) {
    UsbIdList list;
    for (std::size_t start = 0;;) {
        const auto comma = text.find(',', start);
        const std::string_view entry = Trimmed(text.substr(start, comma - start));
        if (!entry.empty()) {
            const auto colon = entry.find(':');
            const auto vendor = HexId(entry.substr(0, colon));
            const auto product =
                colon == std::string_view::npos ? std::nullopt : HexId(entry.substr(colon + 1));
            if (vendor && product)
                list.ids.push_back({*vendor, *product});
            else
                list.rejected.emplace_back(entry);
        }
        if (comma == std::string_view::npos)
            return list;
        start = comma + 1;
    }
}

std::vector<UsbId> UsbIdsFromEnvironment() {
    const char* value = std::getenv(kUsbIdsVariable);
    if (!value)
        return {};
    UsbIdList list = ParseUsbIds(value);
    for (const std::string& entry : list.rejected) {
        std::fprintf(stderr,
                     "%s: \"%s\" nie jest parą VID:PID (szesnastkowo, np. 1209:57A1); "
                     "pominięto.\n",
                     kUsbIdsVariable, entry.c_str());
    }
    return std::move(list.ids);
}

}  // namespace wusb
