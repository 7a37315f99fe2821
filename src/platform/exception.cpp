#include "platform/exception.h"

#include <cstring>

namespace stepcount {

Exception systemFailure(const std::string& what, const std::string& path, int errnoValue) {
    return Exception(what + " \"" + path + "\": " + std::strerror(errnoValue));
}

}  // namespace stepcount
