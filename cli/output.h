// Printing results: JSON documents, hexadecimal bytes and times the way every command does.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "cli/context.h"
#include "wusb/clock.h"

namespace cli {

// One JSON document (two-space indentation) on standard output. Bytes that are no UTF-8 are
// replaced by U+FFFD.
void PrintJsonDocument(const Context& context, const nlohmann::ordered_json& document);
// One JSON object on one line, flushed at once (streams such as monitor).
void PrintJsonLine(const Context& context, const nlohmann::ordered_json& object);
// One line of text on standard output, flushed at once.
void PrintLine(const Context& context, const std::string& line);

// Lower-case hex digits without separators: "02c00503".
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace cli
