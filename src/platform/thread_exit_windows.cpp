#include "platform/thread_exit.h"

#include "platform/system_windows.h"

namespace stepcount {

// A fiber-local slot's callback gets the value of every thread that ends with
// one set (threads that run no fibers have one fiber-local area each).
ThreadExitSlot::ThreadExitSlot(Release release) {
    const DWORD index = ::FlsAlloc(reinterpret_cast<PFLS_CALLBACK_FUNCTION>(release));
    valid_ = index != FLS_OUT_OF_INDEXES;
    key_ = index;
}

bool ThreadExitSlot::set(void* value) {
    return valid_ && ::FlsSetValue(static_cast<DWORD>(key_), value) != FALSE;
}

void* ThreadExitSlot::get() const {
    return valid_ ? ::FlsGetValue(static_cast<DWORD>(key_)) : nullptr;
}

}  // namespace stepcount
