#include "cli/output.h"

#include <chrono>
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

std::string IsoTime(wusb::TimeStamp time) {
    using namespace std::chrono;
    const sys_seconds instant{seconds{time.seconds}};
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss clock{instant - day};
    char text[40];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03uZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<unsigned>(time.milliseconds));
    return text;
}

}  // namespace cli
