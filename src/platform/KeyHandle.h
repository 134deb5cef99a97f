#pragma once
// The owner of one open registry key handle: it closes the handle when it goes away, so that
// no path through the code leaves a key open. Used by RegistryKey and afficheur-reg.
//
// A predefined root (HKEY_CLASSES_ROOT ... HKEY_DYN_DATA) is held like any handle; closing one
// does nothing, as on the platform. One owner is used by one thread at a time; it can be
// moved, never copied.

#include <utility>

#include "platform/Registry.h"

namespace platform {

class KeyHandle {
  public:
    KeyHandle() = default;
    explicit KeyHandle(HKEY handle) : handle_(handle) {}
    // Closes the handle; a refused close is dropped (call Close() first to see it).
    ~KeyHandle() { Close(); }
    KeyHandle(KeyHandle&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    KeyHandle& operator=(KeyHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, 0);
        }
        return *this;
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;

    // The handle held, 0 when none.
    HKEY get() const { return handle_; }

    // Where a call that opens a key writes its handle. Requires that none is held: the owner
    // then holds what the call wrote (0 when it failed).
    HKEY* out() { return &handle_; }

    // Closes the held handle with RegCloseKey. On success (or when none is held) the owner
    // holds nothing and the result is ERROR_SUCCESS; a refused close returns the platform's
    // code and the handle stays held, so that a later close tries again.
    LONG Close() {
        if (handle_ == 0) return ERROR_SUCCESS;
        const LONG rc = RegCloseKey(handle_);
        if (rc == ERROR_SUCCESS) handle_ = 0;
        return rc;
    }

    // Lets go of the handle without closing it (one the platform refused to close).
    void Abandon() { handle_ = 0; }

  private:
    HKEY handle_ = 0;
};

}  // namespace platform
