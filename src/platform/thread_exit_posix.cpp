#include "platform/thread_exit.h"

#include <pthread.h>

namespace stepcount {

ThreadExitSlot::ThreadExitSlot(Release release) {
    pthread_key_t key{};
    valid_ = ::pthread_key_create(&key, release) == 0;
    key_ = static_cast<std::uintptr_t>(key);
}

bool ThreadExitSlot::set(void* value) {
    return valid_ && ::pthread_setspecific(static_cast<pthread_key_t>(key_), value) == 0;
}

void* ThreadExitSlot::get() const {
    return valid_ ? ::pthread_getspecific(static_cast<pthread_key_t>(key_)) : nullptr;
}

}  // namespace stepcount
