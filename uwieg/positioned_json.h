// A JSON document parsed together with where each of its keys stands in the text, so that a
// complaint about a value can point the user at the line and column to fix.
#pragma once

#include <cstddef>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace uwieg {

struct TextPosition {
    int line = 0;    // 1-based; 0 when unknown
    int column = 0;  // 1-based, in characters (not bytes)
};

struct PositionedJson {
    nlohmann::ordered_json document;  // members in the order of the text
    // The byte offset of every key's opening quote, by dotted path ("wiegand.frame",
    // "list[2].name"), and of the opening bracket of every object or array within an array
    // ("list[2]"). PositionAt turns one into a line and column when a message needs it.
    std::map<std::string, std::size_t> keys;
    std::size_t root = 0;  // where the document's value starts
};

// The 1-based line and column of the byte at `offset` (a UTF-8 byte order mark is not counted).
TextPosition PositionAt(std::string_view text, std::size_t offset);

// Parses one JSON document. Throws ProfileError with the position on a syntax error, on a key
// repeated within one object (a second value must not silently win) and on nesting too deep.
PositionedJson ParsePositionedJson(std::string_view text);

}  // namespace uwieg
