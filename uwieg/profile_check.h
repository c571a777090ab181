// Checking a profile document and building the record it describes.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "uwieg/config.h"
#include "uwieg/profile_fields.h"

namespace uwieg::profile_internal {

// Key positions: the byte offset of each key in the text, by dotted path.
using Offsets = std::map<std::string, std::size_t>;

// The record `doc` describes. Throws ProfileError naming the key and, when the document came
// from text, where that key stands: `offsets` locate keys in `text`, `root` the start of the
// document; all are empty for a document built from settings.
ReaderConfig RecordFromDocument(const Json& doc, const Offsets& offsets,
                                std::optional<std::size_t> root, std::string_view text);

}  // namespace uwieg::profile_internal
