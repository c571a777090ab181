// The one rule every wait on the IN pipe follows, checked from the reads it made.
#pragma once

#include <cstddef>
#include <vector>

#include "fuzz/support/check.h"
#include "fuzz/support/scripted_platform.h"

namespace fuzz {

// The earlier reads all failed `accepts`, and the wait ended where it should: at the accepted
// read when `found`, otherwise at an empty read. Returns the last read.
template <typename Accepts>
const Delivered& CheckWaitEnded(const std::vector<Delivered>& reads, bool found, Accepts accepts) {
    FUZZ_CHECK(!reads.empty());
    for (std::size_t i = 0; i + 1 < reads.size(); ++i) {
        FUZZ_CHECK(!accepts(reads[i].bytes));
        // Only the retried first read after linking may follow an empty one.
        FUZZ_CHECK(!reads[i].bytes.empty() || i == 0);
    }
    const Delivered& last = reads.back();
    if (found) {
        FUZZ_CHECK(accepts(last.bytes));
    } else {
        FUZZ_CHECK(last.bytes.empty());
    }
    return last;
}

}  // namespace fuzz
