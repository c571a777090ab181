#include <memory>

#include "bench/rig.h"

namespace bench {

SimRig::SimRig(MeteredClock& clock)
    : platform_(clock),
      timed_(platform_, clock),
      device_(platform_.Plug(std::make_shared<sim::SimInterface>())) {}

void SimRig::WithInterface(const std::function<void(sim::SimInterface&)>& change) {
    change(*platform_.device(device_));
}

}  // namespace bench
