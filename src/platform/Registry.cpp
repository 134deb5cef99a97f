#include "platform/Registry.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Paths.h"
#include "platform/RegistryStore.h"
#include "platform/RegistryTransaction.h"

namespace platform {
namespace {

using registry::EnumCursor;
using registry::FoldName;
using registry::KeyId;
using registry::RootKeyId;
using registry::Store;
using registry::StoreFailure;

constexpr HKEY kFirstHandle = 0x100;
constexpr HKEY kHandleStep = 4;

// What a handle stands for.
struct OpenHandle {
    KeyId key = 0;
    REGSAM access = 0;
    uint64_t generation = 0;
    EnumCursor values;
    EnumCursor keys;
};

// The key a call works on, found from its handle.
struct Target {
    KeyId key = 0;
    REGSAM access = 0;
    HKEY root = 0;  // the predefined root the handle is, or 0 for an opened key
    OpenHandle* handle = nullptr;
    bool performanceData() const { return root == HKEY_PERFORMANCE_DATA; }
};

bool IsRoot(HKEY hKey) {
    return hKey >= HKEY_CLASSES_ROOT && hKey <= HKEY_DYN_DATA;
}

// The rights a handle gets for an access mask: generic rights and MAXIMUM_ALLOWED mapped as
// the platform maps them for keys.
REGSAM GrantedAccess(REGSAM desired) {
    REGSAM granted = desired & 0x00FFFFFF;
    if (desired & (MAXIMUM_ALLOWED | GENERIC_ALL)) granted |= KEY_ALL_ACCESS;
    if (desired & GENERIC_READ) granted |= KEY_READ;
    if (desired & GENERIC_WRITE) granted |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE) granted |= KEY_EXECUTE;
    return granted;
}

// Splits a subkey path into names: '\' separates, doubled and trailing ones are accepted.
LONG SplitPath(const char* subKey, std::vector<std::string_view>* names) {
    names->clear();
    if (subKey == nullptr || subKey[0] == '\0') return ERROR_SUCCESS;
    if (subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    std::string_view rest(subKey);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('\\'), rest.size());
        if (end > 0) {
            if (end > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
            names->push_back(rest.substr(0, end));
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return ERROR_SUCCESS;
}

// The process's registry state: its open handles and its connection to the store. The
// platform keeps the same per process; a mutex makes every call atomic towards the others.
class Service {
  public:
    static Service& Instance() {
        static Service service;
        return service;
    }

    // Runs one call under the lock, turning store failures into their codes.
    template <typename Body>
    LONG Run(Body body) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        try {
            if (!batch_) Follow();
            return body();
        } catch (const StoreFailure& failure) {
            return failure.code;
        } catch (const std::bad_alloc&) {
            return ERROR_OUTOFMEMORY;
        } catch (...) {
            return ERROR_REGISTRY_IO_FAILED;
        }
    }

    LONG Resolve(HKEY hKey, Target* target) {
        if (IsRoot(hKey)) {
            *target = Target{RootKeyId(hKey), KEY_ALL_ACCESS, hKey, nullptr};
            return ERROR_SUCCESS;
        }
        const auto found = handles_.find(hKey);
        if (found == handles_.end() || found->second.generation != generation_) {
            return ERROR_INVALID_HANDLE;
        }
        *target = Target{found->second.key, found->second.access, 0, &found->second};
        return ERROR_SUCCESS;
    }

    // The store for a call that only reads: nullptr while there is none (an empty registry).
    Store* Reader() {
        if (!store_) store_ = Store::Open(path_, false);
        return store_.get();
    }

    // The store for a call that writes, made on first use.
    Store& Writer() {
        if (!store_) store_ = Store::Open(path_, true);
        return *store_;
    }

    HKEY NewHandle(KeyId key, REGSAM access) {
        while (next_ == 0 || IsRoot(next_) || handles_.count(next_) != 0) {
            next_ = next_ >= 0x7FFFFFF0 ? kFirstHandle : next_ + kHandleStep;
        }
        const HKEY handle = next_;
        next_ += kHandleStep;
        handles_[handle] = OpenHandle{key, access, generation_, {}, {}};
        return handle;
    }

    bool Close(HKEY hKey) { return handles_.erase(hKey) != 0; }

    // Runs `body` with the lock held and every call's transaction nested in one.
    LONG ApplyAsOne(const std::function<LONG()>& body) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (batch_) return ERROR_INVALID_PARAMETER;
        std::optional<Store::Transaction> transaction;
        const LONG opened = Run([&]() -> LONG {
            transaction.emplace(Writer(), true);
            return ERROR_SUCCESS;
        });
        if (opened != ERROR_SUCCESS) return opened;
        batch_ = true;
        struct EndBatch {
            bool& flag;
            ~EndBatch() { flag = false; }
        } end{batch_};
        const LONG rc = body();
        if (rc != ERROR_SUCCESS) return rc;
        batch_ = false;
        return Run([&]() -> LONG {
            transaction->Commit();
            return ERROR_SUCCESS;
        });
    }

  private:
    Service() : owner_(::getpid()) {}

    // Keeps the connection in step with the settings folder, which the environment names, and
    // with the process: a child after fork() must not use its parent's connection. Handles of
    // an earlier store stop being valid.
    void Follow() {
        if (::getpid() != owner_) {
            if (store_) store_->Abandon();
            store_.reset();
            owner_ = ::getpid();
        }
        std::filesystem::path path = SettingsFolder() / "registry.sqlite3";
        if (path != path_) {
            store_.reset();
            path_ = std::move(path);
            ++generation_;
        }
    }

    // Recursive so that the calls inside ApplyAsOne take it again on the same thread.
    std::recursive_mutex mutex_;
    bool batch_ = false;  // inside ApplyAsOne: the store must stay the same
    pid_t owner_;
    std::filesystem::path path_;
    uint64_t generation_ = 0;
    std::unique_ptr<Store> store_;
    std::map<HKEY, OpenHandle> handles_;
    HKEY next_ = kFirstHandle;
};

// The answer for a key that has no store behind it: a root is empty, an opened key is gone.
LONG WithoutStore(const Target& target, LONG forRoot) {
    return target.root != 0 ? forRoot : ERROR_KEY_DELETED;
}

// Where creating and opening a key start: the key the handle names and the names of the path
// below it. Nothing lies below HKEY_PERFORMANCE_DATA.
LONG StartPath(Service& service, HKEY hKey, const char* subKey, Target* target,
               std::vector<std::string_view>* names) {
    if (const LONG rc = service.Resolve(hKey, target)) return rc;
    if (const LONG rc = SplitPath(subKey, names)) return rc;
    if (target->performanceData() && !names->empty()) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

// Runs `body` on the store for the key a handle names, in one transaction: a missing store is
// an empty registry (`forRoot` on a root; an opened key is gone then), and a key deleted since
// the handle was opened answers ERROR_KEY_DELETED. The transaction is committed when the body
// returns ERROR_SUCCESS, and rolled back otherwise.
template <typename Body>
LONG OnExistingKey(Service& service, const Target& target, bool write, LONG forRoot, Body body) {
    Store* store = service.Reader();
    if (store == nullptr) return WithoutStore(target, forRoot);
    Store::Transaction transaction(*store, write);
    if (target.root == 0 && !store->KeyExists(target.key)) return ERROR_KEY_DELETED;
    const LONG rc = body(*store);
    if (rc == ERROR_SUCCESS) transaction.Commit();
    return rc;
}

// Follows names down from a key; nullopt when one is missing.
std::optional<KeyId> Walk(Store& store, KeyId key, const std::vector<std::string_view>& names) {
    for (const std::string_view name : names) {
        const auto child = store.Child(key, FoldName(name));
        if (!child) return std::nullopt;
        key = *child;
    }
    return key;
}

// Copies data out as RegQueryValueExA and RegEnumValueA do.
LONG CopyData(const registry::ValueData& value, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    const auto size = static_cast<DWORD>(value.data.size());
    if (lpType != nullptr) *lpType = value.type;
    if (lpData != nullptr) {
        const DWORD room = *lpcbData;
        *lpcbData = size;
        if (room < size) return ERROR_MORE_DATA;
        if (size > 0) std::memcpy(lpData, value.data.data(), size);
    } else if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return ERROR_SUCCESS;
}

std::string_view NameOf(const char* name) {
    return name == nullptr ? "" : name;
}

}  // namespace

LONG RegApplyAsOne(const std::function<LONG()>& body) {
    return Service::Instance().ApplyAsOne(body);
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* lpClass,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, HKEY* phkResult,
                     DWORD* lpdwDisposition) {
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        std::vector<std::string_view> names;
        if (const LONG rc = StartPath(service, hKey, lpSubKey, &target, &names)) return rc;
        if (target.root != 0 && names.empty()) {  // the root itself
            *phkResult = target.root;
            if (lpdwDisposition != nullptr) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
            return ERROR_SUCCESS;
        }

        Store& store = service.Writer();
        Store::Transaction transaction(store, true);
        if (target.root == 0 && !store.KeyExists(target.key)) return ERROR_KEY_DELETED;
        KeyId key = target.key;
        DWORD disposition = REG_OPENED_EXISTING_KEY;
        for (size_t level = 0; level < names.size(); ++level) {
            const std::string_view name = names[level];
            const std::string folded = FoldName(name);
            if (const auto child = store.Child(key, folded)) {
                key = *child;
            } else {
                // Making a subkey needs that right on the handle, as on the platform; a
                // predefined root grants everything.
                if (target.root == 0 && (target.access & KEY_CREATE_SUB_KEY) == 0) {
                    return ERROR_ACCESS_DENIED;
                }
                // The tree stops at the platform's depth, so that every walk through it ends.
                if (disposition != REG_CREATED_NEW_KEY &&
                    store.Depth(key) + (names.size() - level) > kMaxKeyDepth) {
                    return ERROR_INVALID_PARAMETER;
                }
                key = store.AddChild(key, name, folded, NameOf(lpClass));
                disposition = REG_CREATED_NEW_KEY;
            }
        }
        transaction.Commit();
        *phkResult = service.NewHandle(key, GrantedAccess(samDesired));
        if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
        return ERROR_SUCCESS;
    });
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   HKEY* phkResult) {
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        std::vector<std::string_view> names;
        if (const LONG rc = StartPath(service, hKey, lpSubKey, &target, &names)) return rc;
        if (target.root != 0 && names.empty()) {  // the root itself
            *phkResult = target.root;
            return ERROR_SUCCESS;
        }

        std::optional<KeyId> key;
        const LONG rc =
            OnExistingKey(service, target, false, ERROR_FILE_NOT_FOUND, [&](Store& store) {
                key = Walk(store, target.key, names);
                return key ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
            });
        if (rc != ERROR_SUCCESS) return rc;
        // The handle is made once the transaction is over, so a failed one leaves none behind.
        *phkResult = service.NewHandle(*key, GrantedAccess(samDesired));
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY hKey) {
    if (IsRoot(hKey)) return ERROR_SUCCESS;
    Service& service = Service::Instance();
    return service.Run(
        [&]() -> LONG { return service.Close(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; });
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
        if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
            return ERROR_INVALID_PARAMETER;
        }
        if (target.performanceData()) return ERROR_FILE_NOT_FOUND;

        return OnExistingKey(service, target, false, ERROR_FILE_NOT_FOUND, [&](Store& store) {
            const auto value = store.Value(target.key, FoldName(NameOf(lpValueName)));
            if (!value) return ERROR_FILE_NOT_FOUND;
            return CopyData(*value, lpType, lpData, lpcbData);
        });
    });
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
        if (target.performanceData()) return ERROR_INVALID_HANDLE;
        const std::string_view name = NameOf(lpValueName);
        if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
        if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;

        if (target.root == 0 && service.Reader() == nullptr) return ERROR_KEY_DELETED;
        Store& store = service.Writer();
        Store::Transaction transaction(store, true);
        if (target.root == 0 && !store.KeyExists(target.key)) return ERROR_KEY_DELETED;
        const std::string_view data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
        store.SetValue(target.key, name, FoldName(name), dwType, data);
        transaction.Commit();
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
        if (target.performanceData()) return ERROR_FILE_NOT_FOUND;

        return OnExistingKey(service, target, true, ERROR_FILE_NOT_FOUND, [&](Store& store) {
            const bool deleted = store.DeleteValue(target.key, FoldName(NameOf(lpValueName)));
            return deleted ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
        if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
            (lpData != nullptr && lpcbData == nullptr)) {
            return ERROR_INVALID_PARAMETER;
        }
        if (target.performanceData()) return ERROR_NO_MORE_ITEMS;

        return OnExistingKey(service, target, false, ERROR_NO_MORE_ITEMS, [&](Store& store) {
            EnumCursor scratch;
            EnumCursor& cursor = target.handle != nullptr ? target.handle->values : scratch;
            const auto entry = store.ValueAt(target.key, dwIndex, cursor);
            if (!entry) return ERROR_NO_MORE_ITEMS;
            if (entry->name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
            std::memcpy(lpValueName, entry->name.data(), entry->name.size());
            lpValueName[entry->name.size()] = '\0';
            *lpcchValueName = static_cast<DWORD>(entry->name.size());
            return CopyData(entry->value, lpType, lpData, lpcbData);
        });
    });
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
        if (lpName == nullptr) return ERROR_INVALID_PARAMETER;
        if (target.performanceData()) return ERROR_NO_MORE_ITEMS;

        return OnExistingKey(service, target, false, ERROR_NO_MORE_ITEMS, [&](Store& store) {
            EnumCursor scratch;
            EnumCursor& cursor = target.handle != nullptr ? target.handle->keys : scratch;
            const auto name = store.ChildAt(target.key, dwIndex, cursor);
            if (!name) return ERROR_NO_MORE_ITEMS;
            if (name->size() >= cchName) return ERROR_MORE_DATA;
            std::memcpy(lpName, name->data(), name->size());
            lpName[name->size()] = '\0';
            return ERROR_SUCCESS;
        });
    });
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey) {
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        std::vector<std::string_view> names;
        if (const LONG rc = SplitPath(lpSubKey, &names)) return rc;
        if (target.performanceData()) {
            return names.empty() ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
        }
        if (target.root != 0 && names.empty()) return ERROR_ACCESS_DENIED;

        return OnExistingKey(service, target, true, ERROR_FILE_NOT_FOUND, [&](Store& store) {
            const auto key = Walk(store, target.key, names);
            if (!key) return ERROR_FILE_NOT_FOUND;
            if (store.HasChildren(*key)) return ERROR_ACCESS_DENIED;
            store.DeleteKey(*key);
            return ERROR_SUCCESS;
        });
    });
}

}  // namespace platform
