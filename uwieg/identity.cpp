#include "uwieg/identity.h"

#include <cstdio>

namespace uwieg {

bool ReaderIdentity::isKnownType() const {
    switch (typeNumber()) {
        case 41:
        case 43:
        case 51:
        case 53:
            return true;
        default:
            return false;
    }
}

std::string ReaderIdentity::Description() const {
    char text[64];
    std::snprintf(text, sizeof text, "Czytnik KV-T%dX, Nr: %05d (soft: %d)", typeNumber(),
                  static_cast<int>(readerNumber()), static_cast<int>(firmwareVersion));
    return text;
}

}  // namespace uwieg
