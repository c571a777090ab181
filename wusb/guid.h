// Device-interface class identifier, as Windows binds a WinUSB device to its interface class.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wusb {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex, braces included.
    std::string ToString() const;
    // Accepts the braced form above, any letter case; nothing else.
    static std::optional<Guid> Parse(std::string_view text);

    friend bool operator==(const Guid&, const Guid&) = default;
};

// The link layer's own table class; built at start and closed at exit, never enumerated.
inline constexpr Guid kLinkLayerGuid{
    0x4263F2BF, 0xA84E, 0x4848, {0x8B, 0x7E, 0x95, 0xF5, 0x6F, 0x0A, 0x32, 0xDC}};

}  // namespace wusb
