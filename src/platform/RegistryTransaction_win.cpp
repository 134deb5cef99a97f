// On Windows the registry is the system's own: the calls of `body` are made one by one.
#include "platform/RegistryTransaction.h"

namespace platform {

LONG RegApplyAsOne(const std::function<LONG()>& body) {
    return body();
}

}  // namespace platform
