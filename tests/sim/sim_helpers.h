// Driving a SimInterface the way the host does: one frame out, frames back.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/device.h"
#include "sim/wire.h"

namespace sim::testing {

inline void Send(SimInterface& sim, std::uint8_t command, const Bytes& payload = {}) {
    const Bytes frame = MakeFrame(command, payload);
    sim.HandleOut(frame.data(), frame.size());
}

inline void SendRaw(SimInterface& sim, const Bytes& bytes) {
    sim.HandleOut(bytes.data(), bytes.size());
}

// Every IN transfer the interface has to send right now.
inline std::vector<Bytes> Drain(SimInterface& sim) {
    std::vector<Bytes> frames;
    while (std::optional<Bytes> frame = sim.TakeIn()) {
        frames.push_back(*frame);
    }
    return frames;
}

// The payload of the one answer frame `command | 0x80` that must be the only thing queued.
inline std::optional<Bytes> OnlyAnswer(SimInterface& sim, std::uint8_t command) {
    const std::vector<Bytes> frames = Drain(sim);
    if (frames.size() != 1) {
        return std::nullopt;
    }
    const std::optional<HostFrame> parsed = ParseHostFrame(frames[0].data(), frames[0].size());
    if (!parsed || parsed->command != (command | 0x80)) {
        return std::nullopt;
    }
    return parsed->payload;
}

// A reader command through the tunnel; the tunnel answer payload (leading byte included).
inline std::optional<Bytes> Tunnel(SimInterface& sim, std::uint8_t readerCommand,
                                   const Bytes& data = {}) {
    Bytes payload{readerCommand};
    payload.insert(payload.end(), data.begin(), data.end());
    Send(sim, 'T', payload);
    return OnlyAnswer(sim, 'T');
}

inline void OpenForReader(SimInterface& sim) {
    Send(sim, 'O', {1});
    Drain(sim);
}

}  // namespace sim::testing
