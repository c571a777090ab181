#include "wusb/usb_ids.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "wusb/files.h"

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

void ReportRejected(const std::string& where, const std::vector<std::string>& rejected) {
    for (const std::string& entry : rejected) {
        std::fprintf(stderr,
                     "%s: \"%s\" nie jest parą VID:PID (szesnastkowo, np. 1209:57A1); "
                     "pominięto.\n",
                     where.c_str(), entry.c_str());
    }
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
    ReportRejected(kUsbIdsVariable, list.rejected);
    return std::move(list.ids);
}

std::vector<UsbId> UsbIdsFromFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return {};
    std::string text;
    try {
        // A list of ids is a few lines; a larger file is not one.
        text = SystemFiles().ReadAll(path, 1 << 20);
    } catch (const FileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return {};
    }
    std::vector<UsbId> ids;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = std::string_view(text).substr(start, end - start);
        line = line.substr(0, line.find('#'));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        UsbIdList list = ParseUsbIds(line);
        ReportRejected(path + ":" + std::to_string(lineNumber + 1), list.rejected);
        ids.insert(ids.end(), list.ids.begin(), list.ids.end());
        start = end + 1;
    }
    return ids;
}

std::vector<UsbId> NamedUsbIds() {
    std::vector<UsbId> ids = UsbIdsFromFile(kUsbIdsFile);
    const std::vector<UsbId> fromVariable = UsbIdsFromEnvironment();
    ids.insert(ids.end(), fromVariable.begin(), fromVariable.end());
    return ids;
}

}  // namespace wusb
