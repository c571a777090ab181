#include "cli/card_formats.h"

#include <string>

#include "uwieg/format_file.h"

namespace cli {

std::optional<wiegand::FormatTable> CardFormats(const Context& context) {
    const bool given = !context.options.formats.empty();
    const std::string path = given ? context.options.formats : uwieg::UserFormatFilePath();
    if (path.empty()) {
        return wiegand::BuiltInTable();
    }
    const uwieg::CardFormats formats = uwieg::LoadCardFormats(context.env.files, path, given);
    if (formats.fault.empty()) {
        return formats.table;
    }
    if (given) {
        context.Error(formats.fault);
        return std::nullopt;
    }
    context.Error("uwaga: " + formats.fault);
    return formats.table;
}

}  // namespace cli
