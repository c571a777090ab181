#include "wusb/ms_os_descriptors.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "wusb/le_bytes.h"

namespace wusb {

namespace {

constexpr std::uint8_t kBosType = 0x0F;
constexpr std::uint8_t kDeviceCapabilityType = 0x10;
constexpr std::uint8_t kPlatformCapability = 0x05;
// D8DD60DF-4589-4CC7-9CD2-659D9E648A9F in the byte order it travels in.
constexpr std::array<std::uint8_t, 16> kMsOs20PlatformUuid{
    0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C, 0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};

constexpr std::uint16_t kSetHeader = 0;
constexpr std::uint16_t kConfigurationSubset = 1;
constexpr std::uint16_t kFunctionSubset = 2;
constexpr std::uint16_t kRegistryProperty = 4;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegMultiSz = 7;

// UTF-16LE text up to its first zero unit (or its end), as ASCII; nothing when a unit is not.
std::optional<std::string> AsciiText(ByteView utf16) {
    std::string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const std::uint16_t unit = ReadLe16(&utf16[i]);
        if (unit == 0)
            break;
        if (unit > 0x7F)
            return std::nullopt;
        text += static_cast<char>(unit);
    }
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool IsInterfaceGuidName(ByteView utf16Name) {
    const auto name = AsciiText(utf16Name);
    return name && (EqualsIgnoringCase(*name, "DeviceInterfaceGUIDs") ||
                    EqualsIgnoringCase(*name, "DeviceInterfaceGUID"));
}

bool TextNames(ByteView utf16, const Guid& interfaceClass) {
    const auto text = AsciiText(utf16);
    if (!text)
        return false;
    const auto guid = Guid::Parse(*text);
    return guid && *guid == interfaceClass;
}

// A REG_SZ holds one string, a REG_MULTI_SZ several, each ended by a zero unit.
bool PropertyDataNames(std::uint32_t type, ByteView data, const Guid& interfaceClass) {
    if (type == kRegSz)
        return TextNames(data, interfaceClass);
    if (type != kRegMultiSz)
        return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        if (ReadLe16(&data[i]) != 0)
            continue;
        if (i == start)
            return false;  // the empty string that ends the list
        if (TextNames(data.subspan(start, i - start), interfaceClass))
            return true;
        start = i + 2;
    }
    // A last string without its terminator still counts.
    return start + 1 < data.size() &&
           TextNames(data.subspan(start, (data.size() - start) & ~std::size_t{1}), interfaceClass);
}

// One MS OS 2.0 registry property descriptor, its 4-byte header already checked.
bool RegistryPropertyNames(ByteView d, const Guid& interfaceClass) {
    if (d.size() < 10)
        return false;
    const std::uint16_t dataType = ReadLe16(&d[4]);
    const std::size_t nameLength = ReadLe16(&d[6]);
    if (8 + nameLength + 2 > d.size())
        return false;
    const std::size_t dataLength = ReadLe16(&d[8 + nameLength]);
    const std::size_t dataAt = 8 + nameLength + 2;
    if (dataAt + dataLength > d.size())
        return false;
    return IsInterfaceGuidName(d.subspan(8, nameLength)) &&
           PropertyDataNames(dataType, d.subspan(dataAt, dataLength), interfaceClass);
}

}  // namespace

std::optional<MsOs20SetLocation> FindMsOs20Capability(ByteView bos) {
    if (bos.size() < 5 || bos[0] < 5 || bos[1] != kBosType || ReadLe16(&bos[2]) != bos.size())
        return std::nullopt;
    const std::size_t end = bos.size();
    for (std::size_t at = bos[0]; at + 3 <= end;) {
        const std::size_t length = bos[at];
        if (length < 3 || at + length > end)
            break;
        const ByteView cap = bos.subspan(at, length);
        if (cap[1] == kDeviceCapabilityType && cap[2] == kPlatformCapability && length >= 20 &&
            std::equal(kMsOs20PlatformUuid.begin(), kMsOs20PlatformUuid.end(), cap.begin() + 4)) {
            // Descriptor set information records of 8 bytes each follow the UUID: the Windows
            // version a set is for, its length and its vendor code.
            std::optional<MsOs20SetLocation> newest;
            std::uint32_t newestVersion = 0;
            for (std::size_t info = 20; info + 8 <= length; info += 8) {
                const std::uint32_t version = ReadLe32(&cap[info]);
                const std::uint16_t total = ReadLe16(&cap[info + 4]);
                const std::uint8_t vendorCode = cap[info + 6];
                const bool usable = total >= 10 && total <= kMaxMsOs20SetLength && vendorCode != 0;
                if (usable && (!newest || version > newestVersion)) {
                    newest = MsOs20SetLocation{vendorCode, total};
                    newestVersion = version;
                }
            }
            if (newest)
                return newest;
        }
        at += length;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> MsOs20InterfaceFor(ByteView set, const Guid& interfaceClass,
                                               const MsOs20Scope& scope) {
    if (set.size() < 10 || ReadLe16(&set[0]) != 10 || ReadLe16(&set[2]) != kSetHeader ||
        ReadLe16(&set[8]) != set.size())
        return std::nullopt;
    const std::size_t end = set.size();
    // The subsets a descriptor lies in; each ends where its total length says.
    std::optional<std::uint8_t> configuration;
    std::size_t configurationEnd = 0;
    std::optional<std::uint8_t> function;
    std::size_t functionEnd = 0;
    for (std::size_t at = 10; at + 4 <= end;) {
        const std::size_t length = ReadLe16(&set[at]);
        if (length < 4 || at + length > end)
            break;
        if (at >= configurationEnd)
            configuration.reset();
        if (at >= functionEnd)
            function.reset();
        const ByteView d = set.subspan(at, length);
        const std::uint16_t type = ReadLe16(&d[2]);
        if (type == kConfigurationSubset && length >= 8) {
            configuration = d[4];
            configurationEnd = at + ReadLe16(&d[6]);
            function.reset();
        } else if (type == kFunctionSubset && length >= 8) {
            function = d[4];
            functionEnd = at + ReadLe16(&d[6]);
        } else if (type == kRegistryProperty &&
                   (!configuration || *configuration == scope.configurationIndex) &&
                   (function || scope.deviceLevelInterface) &&
                   RegistryPropertyNames(d, interfaceClass)) {
            return function ? function : scope.deviceLevelInterface;
        }
        at += length;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> MsOs10VendorCode(ByteView s) {
    static constexpr std::string_view kSignature = "MSFT100";
    if (s.size() < 18 || s[0] != s.size() || s[1] != 0x03 || s[16] == 0)
        return std::nullopt;
    for (std::size_t i = 0; i < kSignature.size(); ++i) {
        if (ReadLe16(&s[2 + 2 * i]) != static_cast<std::uint8_t>(kSignature[i]))
            return std::nullopt;
    }
    return s[16];
}

bool MsOs10PropertiesName(ByteView p, const Guid& interfaceClass) {
    constexpr std::uint16_t kExtendedPropertiesIndex = 5;
    if (p.size() < 10 || ReadLe32(&p[0]) != p.size() || ReadLe16(&p[6]) != kExtendedPropertiesIndex)
        return false;
    const std::size_t end = p.size();
    const std::size_t count = ReadLe16(&p[8]);
    std::size_t at = 10;
    for (std::size_t n = 0; n < count && at + 14 <= end; ++n) {
        const std::size_t size = ReadLe32(&p[at]);
        if (size < 14 || size > end - at)
            break;
        const ByteView section = p.subspan(at, size);
        const std::uint32_t dataType = ReadLe32(&section[4]);
        const std::size_t nameLength = ReadLe16(&section[8]);
        if (10 + nameLength + 4 <= size) {
            const std::size_t dataLength = ReadLe32(&section[10 + nameLength]);
            const std::size_t dataAt = 10 + nameLength + 4;
            if (dataLength <= size - dataAt &&
                IsInterfaceGuidName(section.subspan(10, nameLength)) &&
                PropertyDataNames(dataType, section.subspan(dataAt, dataLength), interfaceClass))
                return true;
        }
        at += size;
    }
    return false;
}

}  // namespace wusb
