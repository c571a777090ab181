#include "uwieg/verified_write.h"

#include <cstdio>

namespace uwieg {

WriteCheck WriteVerified(UWiegDev& dev, const ReaderConfig& record) {
    WriteCheck check;
    check.written = record;
    dev.WriteConfig(record);
    dev.ReadConfig(check.readBack);
    return check;
}

std::string RecordText(const ReaderConfig& record) {
    std::string text;
    for (const std::uint8_t byte : record) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%02X", static_cast<unsigned>(byte));
        if (!text.empty()) {
            text += ' ';
        }
        text += piece;
    }
    return text;
}

std::string MismatchText(const WriteCheck& check) {
    return "Konfiguracja odczytana po zapisie różni się od zapisanej.\n  zapisano:  " +
           RecordText(check.written) + "\n  odczytano: " + RecordText(check.readBack);
}

}  // namespace uwieg
