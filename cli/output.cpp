#include "cli/output.h"

#include <cstdio>

namespace cli {

namespace {

// Text that is no UTF-8 (a file name in another encoding) is shown with U+FFFD in its place
// rather than ending the program after the work was done.
std::string JsonText(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

void PrintJsonDocument(const Context& context, const nlohmann::ordered_json& document) {
    context.env.out << JsonText(document, 2) << '\n' << std::flush;
}

void PrintJsonLine(const Context& context, const nlohmann::ordered_json& object) {
    context.env.out << JsonText(object, -1) << '\n' << std::flush;
}

void PrintLine(const Context& context, const std::string& line) {
    context.env.out << line << '\n' << std::flush;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace cli
