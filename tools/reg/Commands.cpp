#include "Commands.h"

#include <functional>
#include <iostream>

#include "RegFile.h"
#include "RegFileIo.h"
#include "TreeWalk.h"
#include "ValueText.h"
#include "common/Utf8.h"
#include "platform/KeyHandle.h"
#include "platform/Registry.h"
#include "platform/RegistryTransaction.h"

namespace reg {

using namespace platform;

namespace {

// A value's name as listings and questions show it: the key's default value has none.
std::string ShownName(const std::string& name) {
    return name.empty() ? "(Default)" : name;
}

void PrintValue(const Value& value) {
    std::cout << "    " << ShownName(value.name) << "    " << TypeText(value.type) << "    "
              << DataText(value) << "\n";
}

bool Confirm(const std::string& question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    answer = Lower(answer);
    return answer == "y" || answer == "yes";
}

// The value name the options select: nullopt for none, "" for the default value.
std::optional<std::string> SelectedValue(const Options& o) {
    if (o.defaultValue) return std::string();
    if (o.value) return *o.value;
    return std::nullopt;
}

}  // namespace

int Query(const Options& o) {
    if (o.positional.size() != 1) throw Failure("Invalid syntax: query needs one KEY");
    const KeyName key = RequireKey(o.positional[0]);
    const std::optional<std::string> selected = SelectedValue(o);
    int matches = 0;
    std::function<void(const KeyName&, int)> show = [&](const KeyName& at, int depth) {
        CheckDepth(depth, key);
        KeyHandle handle;
        OpenExisting(at, KEY_READ, &handle);
        const auto values = ReadValues(handle.get());
        std::vector<const Value*> shown;
        for (const Value& v : values) {
            if (!selected || SameName(v.name, *selected)) shown.push_back(&v);
        }
        if (!selected || !shown.empty()) {
            std::cout << "\n" << at.Full() << "\n";
            for (const Value* v : shown)
                PrintValue(*v);
            matches += static_cast<int>(shown.size());
        }
        const auto subkeys = ReadSubKeys(handle.get());
        if (!o.recursive) {
            if (!selected) {
                if (!subkeys.empty()) std::cout << "\n";
                for (const auto& name : subkeys)
                    std::cout << at.Full() << "\\" << name << "\n";
            }
            return;
        }
        for (const auto& name : subkeys)
            show(KeyName{at.root, at.rootName, at.Child(name)}, depth + 1);
    };
    show(key, 0);
    if (selected && matches == 0) throw Failure(Describe(ERROR_FILE_NOT_FOUND));
    if (o.recursive) std::cout << "\nEnd of search: " << matches << " match(es) found.\n";
    return 0;
}

int Add(const Options& o) {
    if (o.positional.size() != 1) throw Failure("Invalid syntax: add needs one KEY");
    const KeyName key = RequireKey(o.positional[0]);
    DWORD type = REG_SZ;
    if (o.type) {
        const std::optional<uint32_t> named = TypeOf(*o.type);
        if (named) type = *named;
        if (!named ||
            (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ && type != REG_DWORD &&
             type != REG_QWORD && type != REG_BINARY && type != REG_NONE)) {
            throw Failure("Invalid type: '" + *o.type + "'");
        }
    }
    const std::optional<std::string> name = SelectedValue(o);
    std::string bytes;
    if (name) bytes = DataBytes(type, o.data.value_or(""), o.separator.value_or(""));

    KeyHandle handle;
    Check(RegCreateKeyExW(key.root, key.Wide().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          handle.out(), nullptr));
    if (!name) {
        std::cout << "The operation completed successfully.\n";
        return 0;
    }
    const std::u16string wideName = utf8::ToUtf16(*name);
    const bool exists = RegQueryValueExW(handle.get(), wideName.c_str(), nullptr, nullptr, nullptr,
                                         nullptr) == ERROR_SUCCESS;
    if (exists && !o.force && !Confirm("Value " + ShownName(*name) + " exists, overwrite")) {
        std::cout << "The operation was cancelled by the user.\n";
        return 0;
    }
    Check(RegSetValueExW(handle.get(), wideName.c_str(), 0, type,
                         reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size())));
    std::cout << "The operation completed successfully.\n";
    return 0;
}

int Delete(const Options& o) {
    if (o.positional.size() != 1) throw Failure("Invalid syntax: delete needs one KEY");
    const KeyName key = RequireKey(o.positional[0]);
    const std::optional<std::string> name = SelectedValue(o);
    KeyHandle handle;
    OpenExisting(key, KEY_ALL_ACCESS, &handle);
    if (name) {
        Check(RegQueryValueExW(handle.get(), utf8::ToUtf16(*name).c_str(), nullptr, nullptr,
                               nullptr, nullptr));
    } else if (!o.allValues && key.subkey.empty()) {
        throw Failure("Invalid key name: a root cannot be deleted");
    }
    const std::string what = name          ? "the registry value " + ShownName(*name)
                             : o.allValues ? "all values under the registry key " + key.Full()
                                           : "the registry key " + key.Full();
    if (!o.force && !Confirm("Permanently delete " + what)) {
        std::cout << "The operation was cancelled by the user.\n";
        return 0;
    }
    if (name) {
        Check(RegDeleteValueW(handle.get(), utf8::ToUtf16(*name).c_str()));
    } else if (o.allValues) {
        for (const Value& v : ReadValues(handle.get())) {
            Check(RegDeleteValueW(handle.get(), utf8::ToUtf16(v.name).c_str()));
        }
    } else {
        DeleteTree(key);
    }
    std::cout << "The operation completed successfully.\n";
    return 0;
}

int Export(const Options& o) {
    if (o.positional.size() != 2) throw Failure("Invalid syntax: export needs KEY and FILE");
    const KeyName key = RequireKey(o.positional[0]);
    const std::string& file = o.positional[1];
    std::vector<KeySection> sections;
    Collect(key, &sections);
    // A .reg file has no way to write a line break inside a key or value name, and an import
    // refuses the other control characters there.
    auto unwritable = [](const std::string& name) -> const char* {
        if (name.find_first_of("\r\n") != std::string::npos) return "a line break";
        for (const char c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "a control character";
        }
        return nullptr;
    };
    for (const KeySection& section : sections) {
        if (const char* what = unwritable(section.path)) {
            throw Failure("Cannot export a key name under " + key.Full() + ": it holds " + what);
        }
        for (const Value& value : section.values) {
            if (const char* what = unwritable(value.name)) {
                throw Failure("Cannot export a value name under " + section.path + ": it holds " +
                              what);
            }
        }
    }
    if (!o.yes && !o.force && PathTaken(file)) {
        throw Failure("The file '" + file + "' exists; use /y to overwrite it");
    }
    std::string bytes;
    try {
        bytes = EncodeFile(sections, o.regedit4 ? Version::Regedit4 : Version::Version5);
    } catch (const FormatError& error) {
        throw Failure("Cannot export " + key.Full() + ": " + error.what());
    }
    ReplaceFile(file, bytes);
    std::cout << "The operation completed successfully.\n";
    return 0;
}

int Import(const Options& o) {
    if (o.positional.size() != 1) throw Failure("Invalid syntax: import needs one FILE");
    const std::string& file = o.positional[0];
    std::vector<KeySection> sections;
    try {
        sections = ParseFile(ReadImportFile(file));
        CheckKeepable(sections);
    } catch (const ParseError& error) {
        throw Failure(file + ": " + error.what());
    }
    std::vector<KeyName> keys;
    for (const KeySection& section : sections) {
        auto key = ParseKey(section.path);
        if (!key) throw Failure(file + ": invalid key name '" + section.path + "' (unknown root)");
        keys.push_back(*key);
    }
    // The whole file is one transaction: a failure anywhere leaves the store as it was. On
    // Windows the calls go one by one (RegistryTransaction.h): what is checked above is all
    // that keeps a file from being applied in part there.
    Check(RegApplyAsOne([&]() -> LONG {
        for (size_t i = 0; i < sections.size(); ++i) {
            if (sections[i].remove) {
                if (!keys[i].subkey.empty()) {
                    KeyHandle probe;
                    if (RegOpenKeyExW(keys[i].root, keys[i].Wide().c_str(), 0, KEY_READ,
                                      probe.out()) == ERROR_SUCCESS) {
                        DeleteTree(keys[i]);
                    }
                }
                continue;
            }
            KeyHandle handle;
            Check(RegCreateKeyExW(keys[i].root, keys[i].Wide().c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, handle.out(), nullptr));
            for (const Value& v : sections[i].values) {
                const std::u16string name = utf8::ToUtf16(v.name);
                if (v.remove) {
                    const LONG rc = RegDeleteValueW(handle.get(), name.c_str());
                    if (rc != ERROR_FILE_NOT_FOUND) Check(rc);
                    continue;
                }
                Check(RegSetValueExW(handle.get(), name.c_str(), 0, v.type,
                                     reinterpret_cast<const BYTE*>(v.data.data()),
                                     static_cast<DWORD>(v.data.size())));
            }
        }
        return ERROR_SUCCESS;
    }));
    std::cout << "The operation completed successfully.\n";
    return 0;
}

}  // namespace reg
