#include "cli/output.h"

#include <cstdio>

namespace cli {

void PrintJsonDocument(const Context& context, const nlohmann::ordered_json& document) {
    context.env.out << document.dump(2) << '\n' << std::flush;
}

void PrintJsonLine(const Context& context, const nlohmann::ordered_json& object) {
    context.env.out << object.dump() << '\n' << std::flush;
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
