#include "platform/file_system.h"

namespace stepcount {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

UniqueFd::~UniqueFd() { reset(); }

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

}  // namespace stepcount
