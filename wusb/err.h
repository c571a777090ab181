// The link layer's failure value and its fixed Polish messages.
#pragma once

#include <cstdint>
#include <string>

namespace wusb {

struct WUsbErr {
    std::int32_t code = 0;
    char command = 0;  // letter of the failing command, or 0
};

// The text to show: the code's message alone, or "<message>, rozk: <letter>" when
// `command` is not 0. Unknown codes, negatives included, give "Brak opisu błędu.".
std::string Message(const WUsbErr& err);

// The message table itself, by code.
const char* MessageText(std::int32_t code);

}  // namespace wusb
