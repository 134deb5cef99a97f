#pragma once
// afficheur-reg's walks through the registry: naming a key, reading a key's values and
// subkeys, deleting a tree, collecting a tree for export. Each walk goes through the
// registry's UTF-16 calls, owns every handle it opens, stops at the platform's depth of 512
// levels and throws Failure with one line for the user on any error.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RegFile.h"
#include "platform/KeyHandle.h"
#include "platform/Registry.h"

namespace reg {

// A failure reported as one line on stderr, exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A key named on the command line or in a file: its root and the path below it.
struct KeyName {
    platform::HKEY root = 0;
    std::string rootName;
    std::string subkey;  // UTF-8
    std::u16string Wide() const;
    std::string Full() const { return subkey.empty() ? rootName : rootName + "\\" + subkey; }
    std::string Child(const std::string& name) const {
        return subkey.empty() ? name : subkey + "\\" + name;
    }
};

// The key a text names (root in full or short form, any case; trailing '\\' dropped), or
// nullopt for an unknown root.
std::optional<KeyName> ParseKey(const std::string& text);

// As ParseKey; throws Failure for an unknown root.
KeyName RequireKey(const std::string& text);

// The user's words for a registry error code.
std::string Describe(platform::LONG rc);

// Throws Failure with Describe(rc) unless rc is ERROR_SUCCESS.
void Check(platform::LONG rc);

// Opens an existing key with the access `sam` into *handle; throws Failure when it cannot.
void OpenExisting(const KeyName& key, platform::REGSAM sam, platform::KeyHandle* handle);

// The values of an open key, in the store's order; one deleted meanwhile is skipped.
std::vector<Value> ReadValues(platform::HKEY h);

// The names of an open key's subkeys (UTF-8), in the store's order.
std::vector<std::string> ReadSubKeys(platform::HKEY h);

// Deletes a key and everything below it, the deepest keys first.
void DeleteTree(const KeyName& key, int depth = 0);

// Appends the key and every key below it, parents first, with their values.
void Collect(const KeyName& key, std::vector<KeySection>* sections, int depth = 0);

// Throws Failure when a walk is more than 512 levels below `top`.
void CheckDepth(int depth, const KeyName& top);

}  // namespace reg
