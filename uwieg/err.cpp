#include "uwieg/err.h"

namespace uwieg {

std::string Message(const UWiegErr& err) {
    switch (err.code) {
        case 0:
        case 1:
            return "Błąd komunikacji z interfacem USB-Wiegand.";
        case 2:
            return "Nie znany typ czytnika.";
        default:
            return "Brak opisu błędu.";
    }
}

}  // namespace uwieg
