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
#include <type_traits>
#include <vector>

#include "common/Utf8.h"
#include "platform/Ansi.h"
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

// Splits a subkey path into names: '\\' separates, doubled and trailing ones are accepted.
LONG SplitPath(std::u16string_view path, std::vector<std::u16string_view>* names) {
    names->clear();
    if (path.empty()) return ERROR_SUCCESS;
    if (path.front() == u'\\') return ERROR_BAD_PATHNAME;
    std::u16string_view rest(path);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(u'\\'), rest.size());
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
LONG StartPath(Service& service, HKEY hKey, std::u16string_view subKey, Target* target,
               std::vector<std::u16string_view>* names) {
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
std::optional<KeyId> Walk(Store& store, KeyId key, const std::vector<std::u16string_view>& names) {
    for (const std::u16string_view name : names) {
        const auto child = store.Child(key, FoldName(name));
        if (!child) return std::nullopt;
        key = *child;
    }
    return key;
}

// Which form of a call is running: the code-page one converts names and text data.
enum class Form { Ansi, Wide };

std::u16string NameOf(const char* name) {
    return name == nullptr ? std::u16string() : AnsiToUtf16(name);
}

std::u16string NameOf(const WCHAR* name) {
    return name == nullptr ? std::u16string() : std::u16string(name);
}

// Data as a caller of `form` gives it, in the form the store keeps.
std::string Stored(Form form, DWORD type, std::string_view data) {
    if (form == Form::Ansi && IsTextType(type)) return utf8::Utf16Bytes(AnsiToUtf16(data));
    return std::string(data);
}

// Data as the store keeps it, in the form a caller of `form` gets it.
std::string Given(Form form, const registry::ValueData& value) {
    if (form == Form::Ansi && IsTextType(value.type)) {
        return Utf16ToAnsi(utf8::Utf16FromBytes(value.data));
    }
    return value.data;
}

// Copies data out as RegQueryValueEx and RegEnumValue do.
LONG CopyData(Form form, const registry::ValueData& value, DWORD* lpType, BYTE* lpData,
              DWORD* lpcbData) {
    const std::string data = Given(form, value);
    const auto size = static_cast<DWORD>(data.size());
    if (lpType != nullptr) *lpType = value.type;
    if (lpData != nullptr) {
        const DWORD room = *lpcbData;
        *lpcbData = size;
        if (room < size) return ERROR_MORE_DATA;
        if (size > 0) std::memcpy(lpData, data.data(), size);
    } else if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return ERROR_SUCCESS;
}

// A name as a caller of the form of Char gets it: UTF-16, or Windows-1252 with '?'.
template <typename Char>
std::basic_string<Char> NameFor(const std::u16string& name) {
    if constexpr (std::is_same_v<Char, char>) {
        return Utf16ToAnsi(name);
    } else {
        return name;
    }
}

LONG CreateKey(HKEY hKey, const std::u16string& subKey, const std::u16string& keyClass,
               REGSAM samDesired, HKEY* phkResult, DWORD* lpdwDisposition) {
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        std::vector<std::u16string_view> names;
        if (const LONG rc = StartPath(service, hKey, subKey, &target, &names)) return rc;
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
            const std::u16string_view name = names[level];
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
                key = store.AddChild(key, name, folded, keyClass);
                disposition = REG_CREATED_NEW_KEY;
            }
        }
        transaction.Commit();
        *phkResult = service.NewHandle(key, GrantedAccess(samDesired));
        if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
        return ERROR_SUCCESS;
    });
}

LONG OpenKey(HKEY hKey, const std::u16string& subKey, REGSAM samDesired, HKEY* phkResult) {
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        std::vector<std::u16string_view> names;
        if (const LONG rc = StartPath(service, hKey, subKey, &target, &names)) return rc;
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

LONG QueryValue(Form form, HKEY hKey, const std::u16string& name, DWORD* lpReserved, DWORD* lpType,
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
            const auto value = store.Value(target.key, FoldName(name));
            if (!value) return ERROR_FILE_NOT_FOUND;
            return CopyData(form, *value, lpType, lpData, lpcbData);
        });
    });
}

LONG SetValue(Form form, HKEY hKey, const std::u16string& name, DWORD dwType, const BYTE* lpData,
              DWORD cbData) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
        if (target.performanceData()) return ERROR_INVALID_HANDLE;
        if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
        if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;

        if (target.root == 0 && service.Reader() == nullptr) return ERROR_KEY_DELETED;
        Store& store = service.Writer();
        Store::Transaction transaction(store, true);
        if (target.root == 0 && !store.KeyExists(target.key)) return ERROR_KEY_DELETED;
        const std::string_view data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
        store.SetValue(target.key, name, FoldName(name), dwType, Stored(form, dwType, data));
        transaction.Commit();
        return ERROR_SUCCESS;
    });
}

LONG DeleteValue(HKEY hKey, const std::u16string& name) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        if ((target.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
        if (target.performanceData()) return ERROR_FILE_NOT_FOUND;

        return OnExistingKey(service, target, true, ERROR_FILE_NOT_FOUND, [&](Store& store) {
            const bool deleted = store.DeleteValue(target.key, FoldName(name));
            return deleted ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    });
}

template <typename Char>
LONG EnumValue(HKEY hKey, DWORD dwIndex, Char* lpValueName, DWORD* lpcchValueName,
               DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    const Form form = std::is_same_v<Char, char> ? Form::Ansi : Form::Wide;
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
            const auto name = NameFor<Char>(entry->name);
            if (name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
            std::copy(name.begin(), name.end(), lpValueName);
            lpValueName[name.size()] = Char{0};
            *lpcchValueName = static_cast<DWORD>(name.size());
            return CopyData(form, entry->value, lpType, lpData, lpcbData);
        });
    });
}

template <typename Char>
LONG EnumKey(HKEY hKey, DWORD dwIndex, Char* lpName, DWORD cchName) {
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
            const auto child = store.ChildAt(target.key, dwIndex, cursor);
            if (!child) return ERROR_NO_MORE_ITEMS;
            const auto name = NameFor<Char>(*child);
            if (name.size() >= cchName) return ERROR_MORE_DATA;
            std::copy(name.begin(), name.end(), lpName);
            lpName[name.size()] = Char{0};
            return ERROR_SUCCESS;
        });
    });
}

LONG DeleteKey(HKEY hKey, const std::u16string& subKey) {
    Service& service = Service::Instance();
    return service.Run([&]() -> LONG {
        Target target;
        if (const LONG rc = service.Resolve(hKey, &target)) return rc;
        std::vector<std::u16string_view> names;
        if (const LONG rc = SplitPath(subKey, &names)) return rc;
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

}  // namespace

LONG RegApplyAsOne(const std::function<LONG()>& body) {
    return Service::Instance().ApplyAsOne(body);
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* lpClass,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, HKEY* phkResult,
                     DWORD* lpdwDisposition) {
    return CreateKey(hKey, NameOf(lpSubKey), NameOf(lpClass), samDesired, phkResult,
                     lpdwDisposition);
}

LONG RegCreateKeyExW(HKEY hKey, const WCHAR* lpSubKey, DWORD /*Reserved*/, const WCHAR* lpClass,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, HKEY* phkResult,
                     DWORD* lpdwDisposition) {
    return CreateKey(hKey, NameOf(lpSubKey), NameOf(lpClass), samDesired, phkResult,
                     lpdwDisposition);
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   HKEY* phkResult) {
    return OpenKey(hKey, NameOf(lpSubKey), samDesired, phkResult);
}

LONG RegOpenKeyExW(HKEY hKey, const WCHAR* lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   HKEY* phkResult) {
    return OpenKey(hKey, NameOf(lpSubKey), samDesired, phkResult);
}

LONG RegCloseKey(HKEY hKey) {
    if (IsRoot(hKey)) return ERROR_SUCCESS;
    Service& service = Service::Instance();
    return service.Run(
        [&]() -> LONG { return service.Close(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; });
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData) {
    return QueryValue(Form::Ansi, hKey, NameOf(lpValueName), lpReserved, lpType, lpData, lpcbData);
}

LONG RegQueryValueExW(HKEY hKey, const WCHAR* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData) {
    return QueryValue(Form::Wide, hKey, NameOf(lpValueName), lpReserved, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    return SetValue(Form::Ansi, hKey, NameOf(lpValueName), dwType, lpData, cbData);
}

LONG RegSetValueExW(HKEY hKey, const WCHAR* lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    return SetValue(Form::Wide, hKey, NameOf(lpValueName), dwType, lpData, cbData);
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName) {
    return DeleteValue(hKey, NameOf(lpValueName));
}

LONG RegDeleteValueW(HKEY hKey, const WCHAR* lpValueName) {
    return DeleteValue(hKey, NameOf(lpValueName));
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData,
                     lpcbData);
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, WCHAR* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData,
                     lpcbData);
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    return EnumKey(hKey, dwIndex, lpName, cchName);
}

LONG RegEnumKeyW(HKEY hKey, DWORD dwIndex, WCHAR* lpName, DWORD cchName) {
    return EnumKey(hKey, dwIndex, lpName, cchName);
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey) {
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    return DeleteKey(hKey, NameOf(lpSubKey));
}

LONG RegDeleteKeyW(HKEY hKey, const WCHAR* lpSubKey) {
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    return DeleteKey(hKey, NameOf(lpSubKey));
}

}  // namespace platform
