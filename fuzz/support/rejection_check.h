// What every refused user text must give: a key or a place in the text to look at.
#pragma once

#include <algorithm>
#include <string_view>

#include "fuzz/support/check.h"
#include "uwieg/profile.h"

namespace fuzz {

inline void CheckRejection(const uwieg::ProfileError& error, std::string_view text) {
    FUZZ_CHECK(!error.key().empty() || error.line() > 0);
    FUZZ_CHECK((error.line() == 0) == (error.column() == 0));
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    FUZZ_CHECK(error.line() <= lines);
    FUZZ_CHECK(std::string_view(error.what()).find(error.message()) != std::string_view::npos);
}

}  // namespace fuzz
