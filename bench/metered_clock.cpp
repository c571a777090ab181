#include "bench/metered_clock.h"

#include <chrono>

namespace bench {

void MeteredClock::Sleep(std::uint32_t milliseconds) {
    const auto start = std::chrono::steady_clock::now();
    inner_.Sleep(milliseconds);
    sleptMs_ +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    askedMs_ += milliseconds;
}

}  // namespace bench
