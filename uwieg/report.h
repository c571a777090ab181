// Transmission reports: the text line of one 'W' report payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace uwieg {

inline constexpr std::uint32_t kReportFrameMax = 32;

// What the first byte of a report says: its kind (0 not recognised, 1 key, 2 card, 3 card with
// its parity bits described in byte 1) and the transmission's bit count.
struct ReportHead {
    int kind = 0;
    int bits = 0;
};

ReportHead ReadReportHead(std::uint8_t head);

// One line for a report payload of `count` bytes (count >= 1).
std::string FormatReport(const std::uint8_t* payload, std::size_t count);

}  // namespace uwieg
