// A value of each thread that is handed to a release function when its
// thread ends, by the system's own thread-exit mechanism: a pthread key on
// POSIX, a fiber-local storage slot on Windows.
//
// Not a thread_local object with a destructor: with MinGW-w64's runtime such
// destructors run after the thread's emulated TLS has been freed, so that an
// object held in a thread_local is destroyed after its memory is gone.
#pragma once

#include <cstdint>

namespace stepcount {

class ThreadExitSlot {
public:
    using Release = void (*)(void* value);

    // A slot whose values go to `release` at the end of their threads. Meant
    // for a static object: a slot is never given back to the system.
    explicit ThreadExitSlot(Release release);
    ThreadExitSlot(const ThreadExitSlot&) = delete;
    ThreadExitSlot& operator=(const ThreadExitSlot&) = delete;

    // Sets the calling thread's value (nullptr: nothing to release); false
    // when the system has no slot to give.
    bool set(void* value);
    // The calling thread's value, nullptr when none is set.
    void* get() const;

private:
    bool valid_ = false;
    std::uintptr_t key_ = 0;
};

}  // namespace stepcount
