// Time as the emulated drives see it: a function giving milliseconds. Drives read it when a
// command arrives, so a tray that takes 1.5 s to open is open once the clock has moved on by
// that much, whether the clock is the real one or a hand-driven one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace drivesim {

using Clock = std::function<std::uint64_t()>;

// Milliseconds from a monotonic real clock.
Clock steadyClock();

// A clock that moves only when told to. Copies share the same time, and the function from
// clock() stays valid after the ManualClock it came from is gone.
class ManualClock {
public:
    explicit ManualClock(std::uint64_t startMs = 0)
        : ms_(std::make_shared<std::atomic<std::uint64_t>>(startMs)) {}

    std::uint64_t now() const { return ms_->load(); }
    void advance(std::uint64_t ms) { ms_->fetch_add(ms); }
    void set(std::uint64_t ms) { ms_->store(ms); }

    Clock clock() const {
        auto ms = ms_;
        return [ms] { return ms->load(); };
    }

private:
    std::shared_ptr<std::atomic<std::uint64_t>> ms_;
};

}  // namespace drivesim
