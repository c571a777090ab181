// Polish texts of a decoded report for the window: one line for the newest transmission and
// the fuller text of a memo line's tooltip.
#pragma once

#include <string>

#include "wiegand/decode.h"

namespace wiegand {

// "parzystość OK", "parzystość błędna (początkowa)", "(końcowa)", "(obie)", …, or "bez bitów
// parzystości" for a format without them.
std::string ParityPolish(const Interpretation& it);
// "26 bit H10301 · FC 18 · CN 13398 · parzystość OK", with the card number's hex for the
// reader's own frames and what a kind 3 report declares otherwise.
std::string FormatPolish(const Interpretation& it);
// The first reading in one line, how many more fit and whether the frame matches the
// reader's configuration; else the UID, the key or what is missing.
std::string SummaryPolish(const Decoded& d);
// Every reading, one per line: each format, then the UID, then the reader's configuration.
std::string DetailsPolish(const Decoded& d);

}  // namespace wiegand
