// The protocol layer's failure value.
#pragma once

#include <cstdint>
#include <string>

namespace uwieg {

struct UWiegErr {
    std::uint32_t code = 0;  // 0: tunnel answer wrong/missing, 1: reader status, 2: unknown type
};

// Codes 0 and 1: "Błąd komunikacji z interfacem USB-Wiegand.", 2: "Nie znany typ czytnika.",
// anything else "Brak opisu błędu.".
std::string Message(const UWiegErr& err);

}  // namespace uwieg
