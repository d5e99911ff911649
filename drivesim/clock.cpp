#include "drivesim/clock.h"

#include <chrono>

namespace drivesim {

Clock steadyClock() {
    return [] {
        auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
    };
}

}  // namespace drivesim
