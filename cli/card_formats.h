// The card formats a command decodes with: the built-in table and the user's format file
// (--formats FILE, or the one in the user's configuration folder).
#pragma once

#include <optional>

#include "cli/context.h"
#include "wiegand/formats.h"

namespace cli {

// A file given with --formats must be there and valid: otherwise its fault is shown and the
// result is empty. A faulty file in the configuration folder is named as a warning and the
// built-in table used.
std::optional<wiegand::FormatTable> CardFormats(const Context& context);

}  // namespace cli
