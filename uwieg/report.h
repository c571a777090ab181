// Transmission reports: the text line of one 'W' report payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace uwieg {

inline constexpr std::uint32_t kReportFrameMax = 32;

// One line for a report payload of `count` bytes (count >= 1).
std::string FormatReport(const std::uint8_t* payload, std::size_t count);

}  // namespace uwieg
