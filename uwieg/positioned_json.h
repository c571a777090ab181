// A JSON document parsed together with where each of its keys stands in the text, so that a
// complaint about a value can point the user at the line and column to fix.
#pragma once

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
    // The opening quote of every key, by dotted path ("wiegand.frame", "list[2].name"); the
    // empty path is the start of the document's value.
    std::map<std::string, TextPosition> keys;
};

// The 1-based line and column of the byte at `offset` (a UTF-8 byte order mark is not counted).
TextPosition PositionAt(std::string_view text, std::size_t offset);

// Parses one JSON document. Throws ProfileError with the position on a syntax error, on a key
// repeated within one object (a second value must not silently win) and on nesting too deep.
PositionedJson ParsePositionedJson(std::string_view text);

}  // namespace uwieg
