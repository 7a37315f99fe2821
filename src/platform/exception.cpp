#include "platform/exception.h"

namespace stepcount {

Exception systemFailure(const std::string& what, const std::string& path, int errnoValue) {
    return Exception(what + " \"" + path + "\": " + systemErrorText(errnoValue));
}

}  // namespace stepcount
