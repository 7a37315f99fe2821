// A request that the work in progress stop, made from a signal handler (the
// command line's Ctrl-C or SIGTERM) or another thread. Reading a file and
// walking a tree check it and throw StopRequested when it is made.
#pragma once

#include <atomic>

namespace stepcount {

// Thrown where work stops on request. Deliberately not a std::exception: the
// counters' guards, which turn failures into error dialogs, let it pass, and
// it ends the run.
struct StopRequested {
    int signalNumber;
};

namespace detail {
inline std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets it");
}  // namespace detail

// Asks the work to stop; `signalNumber` says why (the signal, or any
// non-zero value). Safe in a signal handler.
inline void requestStop(int signalNumber) noexcept {
    detail::stopSignal.store(signalNumber, std::memory_order_relaxed);
}

// The reason given to requestStop, 0 while no stop is asked for.
inline int stopRequested() noexcept { return detail::stopSignal.load(std::memory_order_relaxed); }

// Throws StopRequested when a stop is asked for.
inline void throwIfStopRequested() {
    if (const int signalNumber = stopRequested(); signalNumber != 0) throw StopRequested{signalNumber};
}

}  // namespace stepcount
