#include "faulty_platform.h"

#include <algorithm>

#include "sim/wire.h"
#include "wusb/frame.h"

namespace reliability {
namespace {

constexpr std::uint8_t kReport = 'W';

bool Matches(const OutMatch& match, std::uint8_t command, std::uint8_t readerCommand) {
    return (match.command == 0 || match.command == command) &&
           (match.readerCommand == 0 || match.readerCommand == readerCommand);
}

// Four sorts of transfer the poll must drop: a report with a damaged CRC, a length field that
// disagrees with the transfer, a fragment too short for a frame, and a report with no payload.
Bytes InvalidReport(int index) {
    Bytes frame = sim::MakeFrame(kReport, {0x9C, static_cast<std::uint8_t>(index), 0x34});
    switch (index % 4) {
        case 0:
            frame.back() ^= 0xFF;
            break;
        case 1:
            ++frame[0];
            break;
        case 2:
            frame.resize(4);
            break;
        default:
            frame = sim::MakeFrame(kReport, {});
            break;
    }
    return frame;
}

}  // namespace

void FaultyPlatform::CutWrite(OutMatch match, std::uint32_t keep) {
    outFaults_.push_back({match, OutAction::Cut, keep});
}

void FaultyPlatform::FlipBitInWrite(OutMatch match, std::uint32_t bit) {
    outFaults_.push_back({match, OutAction::FlipBit, bit});
}

void FaultyPlatform::UnplugAfterWrite(OutMatch match) {
    outFaults_.push_back({match, OutAction::UnplugAfter, 0});
}

void FaultyPlatform::InjectIn(InFault fault, int floodLength) {
    switch (fault) {
        case InFault::StaleBefore:
            injectedIn_.push_back(sim::MakeFrame('O' | wusb::kResponseBit, {0}));
            break;
        case InFault::InvalidFlood:
            for (int i = 0; i < floodLength; ++i) {
                injectedIn_.push_back(InvalidReport(i));
            }
            break;
        case InFault::Lost:
        case InFault::CorruptCrc:
            inFault_ = fault;
            break;
    }
}

void FaultyPlatform::Clear() {
    outFaults_.clear();
    inFault_.reset();
    injectedIn_.clear();
}

std::optional<FaultyPlatform::OutFault> FaultyPlatform::TakeOutFault(const std::uint8_t* frame,
                                                                     std::uint32_t length) {
    if (length < 3) {
        return std::nullopt;
    }
    const std::uint8_t command = frame[2];
    const std::uint8_t readerCommand = command == 'T' && length > 3 ? frame[3] : 0;
    std::optional<OutFault> due;
    for (auto it = outFaults_.begin(); it != outFaults_.end();) {
        if (!Matches(it->match, command, readerCommand)) {
            ++it;
        } else if (it->match.skip > 0) {
            --it->match.skip;
            ++it;
        } else if (!due) {
            due = *it;
            it = outFaults_.erase(it);
        } else {
            ++it;
        }
    }
    return due;
}

bool FaultyPlatform::ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                              std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    if (!injectedIn_.empty()) {
        const Bytes frame = std::move(injectedIn_.front());
        injectedIn_.pop_front();
        if (frame.size() > length) {
            return false;
        }
        std::copy(frame.begin(), frame.end(), buffer);
        transferred = static_cast<std::uint32_t>(frame.size());
        return true;
    }
    const bool ok = inner().ReadPipe(usb, pipeId, buffer, length, transferred);
    if (!ok || transferred == 0 || !inFault_) {
        return ok;
    }
    const InFault fault = *inFault_;
    inFault_.reset();
    if (fault == InFault::Lost) {
        transferred = 0;
        return false;
    }
    buffer[transferred - 1] ^= 0xA5;
    return true;
}

bool FaultyPlatform::WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                               std::uint32_t length, std::uint32_t& transferred) {
    const std::optional<OutFault> fault = TakeOutFault(buffer, length);
    if (!fault) {
        return inner().WritePipe(usb, pipeId, buffer, length, transferred);
    }
    ++outApplied_;
    switch (fault->action) {
        case OutAction::Cut: {
            if (fault->value >= length) {
                return inner().WritePipe(usb, pipeId, buffer, length, transferred);
            }
            std::uint32_t moved = 0;
            if (fault->value > 0) {
                inner().WritePipe(usb, pipeId, buffer, fault->value, moved);
            }
            transferred = moved;
            return false;
        }
        case OutAction::FlipBit: {
            Bytes damaged(buffer, buffer + length);
            if (fault->value / 8 < length) {
                damaged[fault->value / 8] ^= static_cast<std::uint8_t>(1u << (fault->value % 8));
            }
            return inner().WritePipe(usb, pipeId, damaged.data(), length, transferred);
        }
        case OutAction::UnplugAfter: {
            const bool ok = inner().WritePipe(usb, pipeId, buffer, length, transferred);
            sim_.Unplug(device_);
            return ok;
        }
    }
    return false;
}

}  // namespace reliability
