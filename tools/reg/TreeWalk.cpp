#include "TreeWalk.h"

#include "ReadValue.h"
#include "common/Utf8.h"

namespace reg {

using namespace platform;

std::u16string KeyName::Wide() const {
    return utf8::ToUtf16(subkey);
}

// Every walk down a tree stops at the platform's depth, whatever the store holds.
void CheckDepth(int depth, const KeyName& key) {
    if (depth > static_cast<int>(kMaxKeyDepth)) {
        throw Failure("The tree under " + key.Full() + " is deeper than 512 levels");
    }
}

std::optional<KeyName> ParseKey(const std::string& text) {
    const size_t cut = text.find('\\');
    const platform::RegistryRoot* root = FindRoot(std::string_view(text).substr(0, cut));
    if (root == nullptr) return std::nullopt;
    KeyName key{root->handle, std::string(root->full),
                cut == std::string::npos ? "" : text.substr(cut + 1)};
    while (!key.subkey.empty() && key.subkey.back() == '\\')
        key.subkey.pop_back();
    return key;
}

KeyName RequireKey(const std::string& text) {
    if (auto key = ParseKey(text)) return *key;
    throw Failure("Invalid key name: '" + text + "' (unknown root)");
}

std::string Describe(LONG rc) {
    switch (rc) {
        case ERROR_FILE_NOT_FOUND:
            return "The system was unable to find the specified registry key or value.";
        case ERROR_ACCESS_DENIED:
            return "Access is denied.";
        case ERROR_BADDB:
            return "The registry store is corrupt or is not a registry store.";
        default:
            return "The registry refused the operation (error " + std::to_string(rc) + ").";
    }
}

void Check(LONG rc) {
    if (rc != ERROR_SUCCESS) throw Failure(Describe(rc));
}

void OpenExisting(const KeyName& key, REGSAM sam, KeyHandle* handle) {
    Check(RegOpenKeyExW(key.root, key.Wide().c_str(), 0, sam, handle->out()));
}

std::vector<Value> ReadValues(HKEY h) {
    std::vector<Value> values;
    std::vector<WCHAR> name(kMaxValueNameLength + 1);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = RegEnumValueW(h, i, name.data(), &length, nullptr, &type, nullptr, &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        Check(rc);
        Value value;
        rc = ReadValue(h, std::u16string(name.data(), length), size, &value);
        if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was enumerated
        Check(rc);
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<std::string> ReadSubKeys(HKEY h) {
    std::vector<std::string> names;
    WCHAR name[kMaxKeyNameLength + 1];
    for (DWORD i = 0;; ++i) {
        const LONG rc = RegEnumKeyW(h, i, name, kMaxKeyNameLength + 1);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        Check(rc);
        names.push_back(utf8::FromUtf16(name));
    }
    return names;
}

void DeleteTree(const KeyName& key, int depth) {
    CheckDepth(depth, key);
    std::vector<std::string> children;
    {
        KeyHandle handle;
        OpenExisting(key, KEY_READ, &handle);
        children = ReadSubKeys(handle.get());
    }
    for (const auto& child : children)
        DeleteTree(KeyName{key.root, key.rootName, key.Child(child)}, depth + 1);
    Check(RegDeleteKeyW(key.root, key.Wide().c_str()));
}

void Collect(const KeyName& key, std::vector<KeySection>* sections, int depth) {
    CheckDepth(depth, key);
    KeyHandle handle;
    OpenExisting(key, KEY_READ, &handle);
    sections->push_back(KeySection{key.Full(), false, ReadValues(handle.get())});
    for (const auto& child : ReadSubKeys(handle.get())) {
        Collect(KeyName{key.root, key.rootName, key.Child(child)}, sections, depth + 1);
    }
}

}  // namespace reg
