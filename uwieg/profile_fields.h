// The keys a profile holds, their kinds and the small helpers that writing and checking share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "uwieg/config.h"
#include "uwieg/profile.h"

namespace uwieg::profile_internal {

using Json = nlohmann::ordered_json;

inline constexpr std::array<std::string_view, 6> kFrames{"24+2", "32+2", "40+2",
                                                         "48+2", "56+2", "64+2"};
inline constexpr std::array<std::string_view, 2> kByteOrders{"hi-lo", "lo-hi"};
inline constexpr std::array<std::string_view, 2> kParities{"even", "odd"};
inline constexpr std::array<std::string_view, 2> kColours{"red", "green"};
inline constexpr std::array<std::string_view, 1> kFormats{kProfileFormat};
inline constexpr std::size_t kSlotCount = 7;

// The bits of each record byte that no control shows (byte 0, the record mark, is kept whole
// in reserved.record_mark instead).
inline constexpr ReaderConfig kUnshownBits{0x00, 0x3E, 0x00, 0x80, 0x10, 0xFE, 0xFC, 0xFF};
inline constexpr std::array<const char*, 8> kByteNames{
    "znacznik rekordu", "flagi sygnalizacji", "czas LED",  "wzór buzzera",
    "format Wiegand",   "tryb klawiatury",    "typy kart", "bajt zarezerwowany"};
inline constexpr int kLargestShownFrame = 5;

enum class Kind { kChoice, kBool, kInteger, kSlots, kBits };

struct Field {
    std::string_view path;
    Kind kind;
    bool required = true;
    const std::string_view* choices = nullptr;  // kChoice
    std::size_t choiceCount = 0;
    int min = 0;  // kInteger
    int max = 0;
};

// Every key a profile may hold, in the order they are written and checked.
const std::vector<Field>& Fields();
// The field at a dotted path, or nullptr.
const Field* FindField(std::string_view path);

// Both return parts of `path`, which must outlive them.
std::string_view ParentOf(std::string_view path);
std::string_view LastNameOf(std::string_view path);

std::string Quoted(std::string_view text);
// The value as the user wrote it, short enough for a message.
std::string Describe(const Json& value);
// The field's choices, quoted, for a message.
std::string ChoiceList(const Field& field);
std::string HexByte(std::uint8_t byte);
// The value of a hexadecimal digit, or -1.
int HexDigit(char c);

}  // namespace uwieg::profile_internal
