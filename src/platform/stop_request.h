// A request that the run in progress stop, made from a signal handler (the
// command line's Ctrl-C or SIGTERM) or another thread (a window that is
// closing). Reading a file and walking a tree check it and throw
// StopRequested when it is made; the run that it stops clears it at its end,
// so that it stops that run and nothing after it.
#pragma once

#include <atomic>

namespace stepcount {

// Thrown where work stops on request. Deliberately not a std::exception: the
// counters' guards, which turn failures into error dialogs, let it pass, and
// it ends the run.
struct StopRequested {
    int reason;
};

namespace detail {
inline std::atomic<int> stopReason{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets it");
}  // namespace detail

// Asks the run to stop; `reason` says why (the signal, or any non-zero
// value). Safe in a signal handler. A request made while no run goes on
// stops the next run at its start.
inline void requestStop(int reason) noexcept {
    detail::stopReason.store(reason, std::memory_order_relaxed);
}

// The reason given to requestStop, 0 while no stop is asked for.
inline int stopRequested() noexcept { return detail::stopReason.load(std::memory_order_relaxed); }

// Throws StopRequested when a stop is asked for.
inline void throwIfStopRequested() {
    if (const int reason = stopRequested(); reason != 0) throw StopRequested{reason};
}

// Forgets a stop request once the run it stopped has ended.
inline void clearStopRequest() noexcept { detail::stopReason.store(0, std::memory_order_relaxed); }

}  // namespace stepcount
