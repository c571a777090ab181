// Polish texts of a decoded report for the window: one line for the newest transmission and
// the fuller text of a memo line's tooltip.
#pragma once

#include <string>

#include "wiegand/decode.h"

namespace wiegand {

// "parzystość OK", "parzystość błędna (początkowa)", "(końcowa)", "(obie)", …
std::string ParityPolish(const Interpretation& it);
// "26 bit H10301 · FC 18 · CN 13398 · parzystość OK"
std::string FormatPolish(const Interpretation& it);
// The best reading in one line: the best format, else the UID, the key or what is missing.
std::string SummaryPolish(const Decoded& d);
// Every reading, one per line: each format, then the UID.
std::string DetailsPolish(const Decoded& d);

}  // namespace wiegand
