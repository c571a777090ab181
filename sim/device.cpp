#include "sim/device.h"

#include <stdexcept>

#include "sim/reader.h"
#include "sim/wire.h"
#include "wusb/frame.h"

namespace sim {
namespace {

// The report that a ReportBefore fault slips in: a plain 26-bit card.
Bytes SlippedReport() {
    return MakeFrame('W', Transmission::Card(26, {0x12, 0x34, 0x56, 0x40}).payload);
}

// Invalid frames of four sorts the host must drop: a damaged CRC, a length field that
// disagrees with the transfer, a transfer too short for a frame, and a valid empty frame.
Bytes InvalidFrame(std::uint8_t command, int index) {
    Bytes frame = MakeFrame(command, {static_cast<std::uint8_t>(index)});
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
            frame = MakeFrame(command, {});
            break;
    }
    return frame;
}

Bytes Ack(std::uint8_t status) {
    return Bytes{status};
}

}  // namespace

SimInterface::SimInterface() = default;

void SimInterface::HandleOut(const std::uint8_t* bytes, std::size_t length) {
    std::optional<HostFrame> frame = ParseHostFrame(bytes, length);
    if (!frame) {
        return;
    }
    received_.push_back({frame->command, frame->payload});
    const std::uint8_t readerCommand =
        frame->command == 'T' && !frame->payload.empty() ? frame->payload[0] : 0;
    const std::optional<Fault> fault = faults_.Take(frame->command, readerCommand);
    if (fault && fault->kind == FaultKind::Unplug) {
        unplugRequested_ = true;
        return;
    }

    std::optional<Bytes> answer;
    if (fault && fault->kind == FaultKind::Nak) {
        // Refused before anything is done.
        answer = Ack(frame->command == 'T' ? kTunnelRefused : kAckRefused);
    } else {
        answer = Execute(frame->command, frame->payload,
                         fault && fault->kind == FaultKind::ReaderStatus);
    }
    if (!answer) {
        return;
    }
    const auto answerCommand = static_cast<std::uint8_t>(frame->command | wusb::kResponseBit);
    if (fault) {
        QueueWithFault(*fault, answerCommand, std::move(*answer));
    } else {
        lastAnswer_ = MakeFrame(answerCommand, *answer);
        in_.push_back(lastAnswer_);
    }
}

void SimInterface::QueueWithFault(const Fault& fault, std::uint8_t answerCommand, Bytes answer) {
    Bytes sound = MakeFrame(answerCommand, answer);
    Bytes sent = sound;
    switch (fault.kind) {
        case FaultKind::NoAnswer:
            lastAnswer_ = sound;
            return;
        case FaultKind::WrongLength:
            answer.push_back(0);
            sent = MakeFrame(answerCommand, answer);
            break;
        case FaultKind::CorruptCrc:
            sent[sent.size() - 1] ^= 0xA5;
            sent[sent.size() - 2] ^= 0x5A;
            break;
        case FaultKind::ReportBefore:
            in_.push_back(SlippedReport());
            break;
        case FaultKind::StaleBefore:
            // Before any command was answered, a late close acknowledgement stands in.
            in_.push_back(lastAnswer_.empty() ? MakeFrame('o' | wusb::kResponseBit, Ack(0))
                                              : lastAnswer_);
            break;
        case FaultKind::InvalidFlood:
            for (int i = 0; i < fault.floodLength; ++i) {
                in_.push_back(InvalidFrame(answerCommand, i));
            }
            break;
        case FaultKind::Nak:
        case FaultKind::ReaderStatus:
        case FaultKind::Unplug:
            break;
    }
    lastAnswer_ = sound;
    in_.push_back(std::move(sent));
}

std::optional<Bytes> SimInterface::Execute(std::uint8_t command, const Bytes& payload,
                                           bool readerRefuses) {
    switch (command) {
        case 'O':
            if (payload.size() != 1 || payload[0] > 1) {
                return Ack(kAckRefused);
            }
            channelOpen_ = true;
            channelMode_ = payload[0];
            return Ack(0);
        case 'o':
            if (!payload.empty()) {
                return Ack(kAckRefused);
            }
            channelOpen_ = false;
            return Ack(0);
        case 'S':
            if (payload.size() != 1 || payload[0] > 3) {
                return Ack(kAckRefused);
            }
            outputLines_ = payload[0];
            return Ack(0);
        case 'T':
            return Tunnel(payload, readerRefuses);
        default:
            return std::nullopt;
    }
}

Bytes SimInterface::Tunnel(const Bytes& payload, bool readerRefuses) {
    if (!channelOpen_ || channelMode_ != 1) {
        return Bytes{kTunnelChannelClosed};
    }
    if (payload.empty()) {
        return Bytes{kTunnelNoReaderAnswer};
    }
    if (readerRefuses) {
        return Bytes{kTunnelOk, kStatusBadData};
    }
    const Bytes data(payload.begin() + 1, payload.end());
    std::optional<Bytes> answer =
        AnswerReaderCommand(reader_, upgrade_, payload[0], data, completedUpgrades_);
    if (!answer) {
        return Bytes{kTunnelNoReaderAnswer};
    }
    answer->insert(answer->begin(), kTunnelOk);
    return *answer;
}

std::optional<Bytes> SimInterface::TakeIn() {
    if (!in_.empty()) {
        Bytes frame = std::move(in_.front());
        in_.pop_front();
        return frame;
    }
    if (channelOpen_ && channelMode_ == 0 && !transmissions_.empty()) {
        Bytes frame = MakeFrame('W', transmissions_.front().payload);
        transmissions_.pop_front();
        return frame;
    }
    return std::nullopt;
}

bool SimInterface::HasIn() const {
    return !in_.empty() || (channelOpen_ && channelMode_ == 0 && !transmissions_.empty());
}

void SimInterface::InjectFault(const Fault& fault) {
    faults_.Add(fault);
}

void SimInterface::ClearFaults() {
    faults_.Clear();
}

void SimInterface::Present(const Transmission& t) {
    // A payload no frame can hold could never be reported.
    if (t.payload.size() > wusb::kMaxPayload) {
        throw std::invalid_argument("report payload longer than a frame can carry");
    }
    transmissions_.push_back(t);
}

std::size_t SimInterface::pendingTransmissions() const {
    return transmissions_.size();
}

bool SimInterface::upgradeInProgress() const {
    return upgrade_.inProgress();
}

int SimInterface::completedUpgrades() const {
    return completedUpgrades_;
}

bool SimInterface::TakeUnplugRequest() {
    const bool requested = unplugRequested_;
    unplugRequested_ = false;
    return requested;
}

void SimInterface::Reset() {
    // Power went away: nothing buffered survives, and an unfinished upgrade is lost, which
    // leaves the reader on its old firmware.
    in_.clear();
    transmissions_.clear();
    channelOpen_ = false;
    channelMode_ = 0;
    outputLines_ = 0;
    upgrade_.Drop();
    lastAnswer_.clear();
    unplugRequested_ = false;
}

}  // namespace sim
