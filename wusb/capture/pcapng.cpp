#include "wusb/capture/pcapng.h"

#include <algorithm>
#include <limits>

#include "wusb/le_bytes.h"

namespace wusb::capture {

namespace {

constexpr std::uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescriptionType = 1;
constexpr std::uint32_t kSimplePacketType = 3;
constexpr std::uint32_t kNameResolutionType = 4;
constexpr std::uint32_t kInterfaceStatisticsType = 5;
constexpr std::uint32_t kEnhancedPacketType = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kMajorVersion = 1;
constexpr std::uint16_t kMinorVersion = 0;

constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kOptionIfName = 2;
constexpr std::uint16_t kOptionIfDescription = 3;
constexpr std::uint16_t kOptionShbUserApplication = 4;

// Block type, leading length and trailing length.
constexpr std::uint32_t kBlockFraming = 12;

void PadToWord(Block& body) {
    while (body.size() % 4 != 0) {
        body.push_back(0);
    }
}

void AppendOption(Block& body, std::uint16_t code, std::string_view value) {
    if (value.empty()) {
        return;
    }
    const std::size_t length =
        std::min<std::size_t>(value.size(), std::numeric_limits<std::uint16_t>::max());
    AppendLe16(body, code);
    AppendLe16(body, static_cast<std::uint16_t>(length));
    body.insert(body.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(length));
    PadToWord(body);
}

void EndOptions(Block& body) {
    AppendLe16(body, kOptionEnd);
    AppendLe16(body, 0);
}

Block Framed(std::uint32_t type, const Block& body) {
    const auto total = static_cast<std::uint32_t>(body.size() + kBlockFraming);
    Block block;
    block.reserve(total);
    AppendLe32(block, type);
    AppendLe32(block, total);
    block.insert(block.end(), body.begin(), body.end());
    AppendLe32(block, total);
    return block;
}

bool IsKnownBlockType(std::uint32_t type) {
    switch (type) {
        case kSectionHeaderType:
        case kInterfaceDescriptionType:
        case kSimplePacketType:
        case kNameResolutionType:
        case kInterfaceStatisticsType:
        case kEnhancedPacketType:
            return true;
        default:
            return false;
    }
}

}  // namespace

Block SectionHeaderBlock(std::string_view application) {
    Block body;
    AppendLe32(body, kByteOrderMagic);
    AppendLe16(body, kMajorVersion);
    AppendLe16(body, kMinorVersion);
    // Section length -1: not given, so sections can grow packet by packet.
    AppendLe32(body, 0xFFFFFFFF);
    AppendLe32(body, 0xFFFFFFFF);
    AppendOption(body, kOptionShbUserApplication, application);
    EndOptions(body);
    return Framed(kSectionHeaderType, body);
}

Block InterfaceDescriptionBlock(std::uint16_t linkType, std::string_view name,
                                std::string_view description) {
    Block body;
    AppendLe16(body, linkType);
    AppendLe16(body, 0);  // reserved
    AppendLe32(body, 0);  // snap length: none
    AppendOption(body, kOptionIfName, name);
    AppendOption(body, kOptionIfDescription, description);
    EndOptions(body);
    return Framed(kInterfaceDescriptionType, body);
}

Block EnhancedPacketBlock(std::uint32_t interfaceId, std::int64_t microseconds,
                          std::span<const std::uint8_t> packet) {
    // A clock before the epoch cannot be stored; such packets keep their order at time 0.
    const auto stamp = static_cast<std::uint64_t>(std::max<std::int64_t>(microseconds, 0));
    const auto length = static_cast<std::uint32_t>(packet.size());
    Block body;
    body.reserve(20 + packet.size() + 3);
    AppendLe32(body, interfaceId);
    AppendLe32(body, static_cast<std::uint32_t>(stamp >> 32));
    AppendLe32(body, static_cast<std::uint32_t>(stamp));
    AppendLe32(body, length);  // captured
    AppendLe32(body, length);  // on the wire
    body.insert(body.end(), packet.begin(), packet.end());
    PadToWord(body);
    return Framed(kEnhancedPacketType, body);
}

std::uint32_t TrailingBlockLength(std::span<const std::uint8_t> tail) {
    return tail.size() < 4 ? 0 : ReadLe32(&tail[tail.size() - 4]);
}

bool EndsWithWholeBlock(std::span<const std::uint8_t> tail) {
    const std::uint32_t length = TrailingBlockLength(tail);
    if (length < kBlockFraming || length % 4 != 0 || length > tail.size()) {
        return false;
    }
    const std::uint8_t* block = &tail[tail.size() - length];
    return IsKnownBlockType(ReadLe32(block)) && ReadLe32(block + 4) == length;
}

}  // namespace wusb::capture
