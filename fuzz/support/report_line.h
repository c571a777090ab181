// What every line of a transmission report must look like, checked without building the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

void CheckReportLine(const std::uint8_t* payload, std::size_t count, const std::string& line);

}  // namespace fuzz
