// pcapng blocks, written little-endian: the section header, interface descriptions and
// enhanced packet blocks with microsecond time stamps (the format's default resolution).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wusb::capture {

using Block = std::vector<std::uint8_t>;

inline constexpr std::uint16_t kLinkTypeUsbLinuxMmapped = 220;

// Opens a section: byte-order magic, version 1.0, length unknown, `application` as the
// writing program (shb_userappl).
Block SectionHeaderBlock(std::string_view application);

// Describes the next interface of the section (ids count from 0 in order of description);
// `name` and `description` become if_name and if_description.
Block InterfaceDescriptionBlock(std::uint16_t linkType, std::string_view name,
                                std::string_view description);

// One packet captured whole on `interfaceId` at `microseconds` since the epoch.
Block EnhancedPacketBlock(std::uint32_t interfaceId, std::int64_t microseconds,
                          std::span<const std::uint8_t> packet);

// True when `tail`, the last bytes of a file, ends with one whole block of a known type whose
// leading and trailing lengths agree: the file can take another section behind it.
// `tail` must hold at least that last block (the caller reads it by its trailing length).
bool EndsWithWholeBlock(std::span<const std::uint8_t> tail);

// The length the last block announces in its last 4 bytes (0 when there are fewer).
std::uint32_t TrailingBlockLength(std::span<const std::uint8_t> tail);

}  // namespace wusb::capture
