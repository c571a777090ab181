#include "sim/reader.h"

#include "sim/firmware.h"
#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Identity(const ReaderModel& reader) {
    Bytes out;
    wusb::AppendLe32(out, IdentityWord(reader));
    wusb::AppendLe16(out, reader.firmwareVersion);
    wusb::AppendLe16(out, reader.extraWord);
    return out;
}

std::uint8_t WriteConfig(ReaderModel& reader, const Bytes& data) {
    if (data.size() != 12) {
        return kStatusBadData;
    }
    if (wusb::Crc32(data.data(), 8, 0xFFFFFFFFu) != wusb::ReadLe32(&data[8])) {
        return kStatusBadData;
    }
    std::copy(data.begin(), data.begin() + 8, reader.config.begin());
    return kStatusOk;
}

std::uint8_t FinishUpgrade(ReaderModel& reader, UpgradeReceiver& upgrade, const Bytes& data,
                           int& completedUpgrades) {
    std::uint16_t version = 0;
    const std::uint8_t status = upgrade.Finish(data, version);
    if (status == kStatusOk) {
        // The reader restarts into the new firmware.
        reader.firmwareVersion = version;
        ++completedUpgrades;
    }
    return status;
}

}  // namespace

std::uint32_t IdentityWord(const ReaderModel& reader) {
    const auto typeCode = static_cast<std::uint32_t>(((reader.typeNumber % 100) + 180) % 100);
    return reader.readerNumber | (typeCode << 16) |
           (static_cast<std::uint32_t>(reader.typeVariant & 0x3u) << 26) |
           (static_cast<std::uint32_t>(reader.topBits & 0xFu) << 28);
}

bool IsStatusCommand(std::uint8_t readerCommand) {
    switch (readerCommand) {
        case 'C':
        case 'Z':
        case 'Y':
        case 'y':
        case 'z':
            return true;
        default:
            return false;
    }
}

std::optional<Bytes> AnswerReaderCommand(ReaderModel& reader, UpgradeReceiver& upgrade,
                                         std::uint8_t command, const Bytes& data,
                                         int& completedUpgrades) {
    switch (command) {
        case 'M':
            return data.empty() ? std::optional<Bytes>(Identity(reader)) : std::nullopt;
        case 'c':
            return data.empty()
                       ? std::optional<Bytes>(Bytes(reader.config.begin(), reader.config.end()))
                       : std::nullopt;
        case 'C':
            return Bytes{WriteConfig(reader, data)};
        case 'Z':
            return Bytes{upgrade.Header(data)};
        case 'Y':
            return Bytes{upgrade.Block(data)};
        case 'y':
            return Bytes{upgrade.Entry(
                data, ExpectedReaderEntry(reader.typeNumber,
                                          static_cast<std::uint8_t>(reader.readerNumber)))};
        case 'z':
            return Bytes{FinishUpgrade(reader, upgrade, data, completedUpgrades)};
        default:
            return std::nullopt;
    }
}

}  // namespace sim
