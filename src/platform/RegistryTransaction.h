#pragma once
// Several registry calls applied as one: what a tool that imports a whole file needs, so that
// a busy store, a full disk or a refused call halfway through leaves nothing of the file.
// It belongs to the registry store (Registry.h), not to the platform's services: on Windows,
// where the registry is the system's own, the calls are made one by one (see the end).

#include <functional>

#include "platform/Registry.h"

namespace platform {

// Runs `body` with every registry call that this process makes meanwhile inside one write
// transaction of the store, which is created if it is missing. When `body` returns
// ERROR_SUCCESS the transaction is committed and the result is that of the commit; any other
// result, or an exception (passed on), rolls back every change the calls made. Calls from
// other threads wait until `body` returns; another process waits up to 2 s and then gets
// ERROR_BUSY, as for any call. A handle opened inside `body` to a key that a roll-back
// removed answers ERROR_KEY_DELETED. Must not be nested.
//
// On Windows `body` runs as it stands and its result is returned: the system's registry has no
// transaction to put the calls in (its transacted calls are deprecated), so a call refused
// halfway keeps the changes made before it. A caller checks what it can before `body`.
LONG RegApplyAsOne(const std::function<LONG()>& body);

}  // namespace platform
