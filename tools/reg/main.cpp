// afficheur-reg: look at and edit the registry store that the "$" settings route and
// RegistryKey use, and move settings to and from .reg files. It works through the registry
// services (platform/Registry.h), so it is safe alongside a running client.
//
// Exit status: 0 on success, 1 on any error (with one line on stderr), 2 for bad usage.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ReadValue.h"
#include "RegFile.h"
#include "RegFileIo.h"
#include "common/Utf8.h"
#include "platform/Ansi.h"
#include "platform/Registry.h"
#include "platform/RegistryTransaction.h"

using namespace platform;

namespace {

const char* const kUsage = R"(Usage: afficheur-reg COMMAND KEY [options]

Looks at and edits the registry store of afficheur (registry.sqlite3 in the settings folder).
KEY is ROOT\Subkey\...; ROOT is HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM),
HKEY_CLASSES_ROOT (HKCR), HKEY_USERS (HKU), HKEY_CURRENT_CONFIG (HKCC) or HKEY_DYN_DATA,
in any case.

  query  KEY [/v NAME | /ve] [/s]            show values (and subkeys); /s: the whole tree
  add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/s SEP] [/f]
                                             add a key, or set a value (TYPE: REG_SZ,
                                             REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,
                                             REG_QWORD, REG_BINARY; default REG_SZ)
  delete KEY [/v NAME | /ve | /va] [/f]      delete a value, all values, or the key and its tree
  export KEY FILE [/y] [--regedit4]          write the key and its tree to a .reg file
                                             (version 5.00, UTF-16LE; --regedit4: REGEDIT4)
  import FILE                                read a .reg file (either version) into the store

Options (each also has a long form):
  /v NAME   --value=NAME      the value NAME
  /ve       --default         the default (unnamed) value
  /va       --all-values      every value of the key
  /t TYPE   --type=TYPE       the value's type
  /d DATA   --data=DATA       the value's data (REG_BINARY: hex digits; REG_DWORD and
                              REG_QWORD: decimal or 0x hex; REG_MULTI_SZ: items split at SEP)
  /s SEP    --separator=SEP   REG_MULTI_SZ separator for add (default \0)
  /s        --recursive       query the whole tree
  /f        --force           no questions: overwrite or delete at once
  /y        --yes             export over an existing file
            --regedit4        export as REGEDIT4 (Windows-1252)
  -h        --help            this text
            --version         the version of afficheur-reg
)";

// A failure reported as one line on stderr, exit status 1.
struct Failure {
    std::string message;
};

struct TypeName {
    const char* name;
    DWORD type;
};

constexpr TypeName kTypes[] = {
    {"REG_NONE", REG_NONE},
    {"REG_SZ", REG_SZ},
    {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_BINARY", REG_BINARY},
    {"REG_DWORD", REG_DWORD},
    {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    {"REG_LINK", REG_LINK},
    {"REG_MULTI_SZ", REG_MULTI_SZ},
    {"REG_RESOURCE_LIST", 8},
    {"REG_FULL_RESOURCE_DESCRIPTOR", 9},
    {"REG_RESOURCE_REQUIREMENTS_LIST", 10},
    {"REG_QWORD", REG_QWORD},
};

// Ansi.h has no lower-case form of a whole text: commands, options and answers match in any case.
std::string Lower(std::string text) {
    for (char& c : text)
        c = FoldCase(c);
    return text;
}

std::string TypeText(DWORD type) {
    for (const TypeName& t : kTypes) {
        if (t.type == type) return t.name;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", type);
    return text;
}

// A key named on the command line or in a file: its root and the path below it.
struct KeyName {
    HKEY root = 0;
    std::string rootName;
    std::string subkey;  // UTF-8
    std::u16string Wide() const { return utf8::ToUtf16(subkey); }
    std::string Full() const { return subkey.empty() ? rootName : rootName + "\\" + subkey; }
    std::string Child(const std::string& name) const {
        return subkey.empty() ? name : subkey + "\\" + name;
    }
};

// Every walk down a tree stops at the platform's depth, whatever the store holds.
void CheckDepth(int depth, const KeyName& key) {
    if (depth > static_cast<int>(kMaxKeyDepth)) {
        throw Failure{"The tree under " + key.Full() + " is deeper than 512 levels"};
    }
}

std::optional<KeyName> ParseKey(const std::string& text) {
    const size_t cut = text.find('\\');
    const platform::RegistryRoot* root = reg::FindRoot(std::string_view(text).substr(0, cut));
    if (root == nullptr) return std::nullopt;
    KeyName key{root->handle, std::string(root->full),
                cut == std::string::npos ? "" : text.substr(cut + 1)};
    while (!key.subkey.empty() && key.subkey.back() == '\\')
        key.subkey.pop_back();
    return key;
}

KeyName RequireKey(const std::string& text) {
    if (auto key = ParseKey(text)) return *key;
    throw Failure{"Invalid key name: '" + text + "' (unknown root)"};
}

// An open handle, closed when it goes out of scope.
class Handle {
  public:
    Handle() = default;
    ~Handle() {
        if (h_ != 0) RegCloseKey(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HKEY* out() { return &h_; }
    HKEY get() const { return h_; }

  private:
    HKEY h_ = 0;
};

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
    if (rc != ERROR_SUCCESS) throw Failure{Describe(rc)};
}

void OpenExisting(const KeyName& key, REGSAM sam, Handle* handle) {
    Check(RegOpenKeyExW(key.root, key.Wide().c_str(), 0, sam, handle->out()));
}

std::vector<reg::Value> ReadValues(HKEY h) {
    std::vector<reg::Value> values;
    std::vector<WCHAR> name(kMaxValueNameLength + 1);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = RegEnumValueW(h, i, name.data(), &length, nullptr, &type, nullptr, &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        Check(rc);
        reg::Value value;
        rc = reg::ReadValue(h, std::u16string(name.data(), length), size, &value);
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

std::string Hex(const std::string& bytes, bool upper) {
    std::string out;
    char two[4];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, upper ? "%02X" : "%02x", static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

uint64_t LittleEndian(const std::string& bytes) {
    uint64_t number = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return number;
}

std::string DataText(const reg::Value& value) {
    const std::string& d = value.data;
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            const std::u16string text = utf8::Utf16FromBytes(d);
            return utf8::FromUtf16(std::u16string_view(text).substr(0, text.find(u'\0')));
        }
        case REG_MULTI_SZ: {
            std::string out;
            const std::u16string text = utf8::Utf16FromBytes(d);
            std::u16string_view rest(text);
            while (!rest.empty() && rest.front() != u'\0') {
                const size_t end = std::min(rest.find(u'\0'), rest.size());
                if (!out.empty()) out += "\\0";
                out += utf8::FromUtf16(rest.substr(0, end));
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            return out;
        }
        case REG_DWORD:
        case REG_QWORD:
            if (d.size() == (value.type == REG_DWORD ? 4u : 8u)) {
                char text[24];
                std::snprintf(text, sizeof text, "0x%llx",
                              static_cast<unsigned long long>(LittleEndian(d)));
                return text;
            }
            return Hex(d, true);
        default:
            return Hex(d, true);
    }
}

void PrintValue(const reg::Value& value) {
    std::cout << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
              << TypeText(value.type) << "    " << DataText(value) << "\n";
}

// --- Options -----------------------------------------------------------------------------

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> value;  // /v
    bool defaultValue = false;         // /ve
    bool allValues = false;            // /va
    std::optional<std::string> type;   // /t
    std::optional<std::string> data;   // /d
    std::optional<std::string> separator;
    bool recursive = false;
    bool force = false;
    bool yes = false;
    bool regedit4 = false;
};

Options ParseOptions(const std::string& command, const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (const size_t eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            }
        }
        auto next = [&](const char* what) {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw Failure{std::string(what) + " needs an argument"};
            return args[++i];
        };
        const std::string key = Lower(arg);
        if (key == "/v" || key == "-v" || key == "--value") {
            o.value = next("/v");
        } else if (key == "/ve" || key == "--default") {
            o.defaultValue = true;
        } else if (key == "/va" || key == "--all-values") {
            o.allValues = true;
        } else if (key == "/t" || key == "-t" || key == "--type") {
            o.type = next("/t");
        } else if (key == "/d" || key == "-d" || key == "--data") {
            o.data = next("/d");
        } else if ((key == "/s" && command == "add") || key == "--separator") {
            o.separator = next("/s");
        } else if (key == "/s" || key == "-s" || key == "--recursive") {
            o.recursive = true;
        } else if (key == "/f" || key == "-f" || key == "--force") {
            o.force = true;
        } else if (key == "/y" || key == "-y" || key == "--yes") {
            o.yes = true;
        } else if (key == "--regedit4") {
            o.regedit4 = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw Failure{"Invalid syntax: unknown option '" + args[i] + "'"};
        } else {
            // Anything else, "/tmp/file.reg" included, is a key or a file.
            o.positional.push_back(args[i]);
        }
    }
    if (o.value && o.defaultValue) throw Failure{"Invalid syntax: /v and /ve together"};
    return o;
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

// Whether two names are the same to the registry: equal without regard to case.
bool SameName(const std::string& a, const std::string& b) {
    std::u16string x = utf8::ToUtf16(a), y = utf8::ToUtf16(b);
    for (char16_t& unit : x)
        unit = UpperCaseUnit(unit);
    for (char16_t& unit : y)
        unit = UpperCaseUnit(unit);
    return x == y;
}

// The UTF-16LE bytes of a text, with its terminating NUL.
std::string TextData(const std::string& text) {
    return utf8::Utf16Bytes(utf8::ToUtf16(text)) + std::string(2, '\0');
}

// --- Commands ----------------------------------------------------------------------------

int Query(const Options& o) {
    if (o.positional.size() != 1) throw Failure{"Invalid syntax: query needs one KEY"};
    const KeyName key = RequireKey(o.positional[0]);
    const std::optional<std::string> selected = SelectedValue(o);
    int matches = 0;
    std::function<void(const KeyName&, int)> show = [&](const KeyName& at, int depth) {
        CheckDepth(depth, key);
        Handle handle;
        OpenExisting(at, KEY_READ, &handle);
        const auto values = ReadValues(handle.get());
        std::vector<const reg::Value*> shown;
        for (const reg::Value& v : values) {
            if (!selected || SameName(v.name, *selected)) shown.push_back(&v);
        }
        if (!selected || !shown.empty()) {
            std::cout << "\n" << at.Full() << "\n";
            for (const reg::Value* v : shown)
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
    if (selected && matches == 0) throw Failure{Describe(ERROR_FILE_NOT_FOUND)};
    if (o.recursive) std::cout << "\nEnd of search: " << matches << " match(es) found.\n";
    return 0;
}

std::string DataBytes(DWORD type, const std::string& data, const std::string& separator) {
    auto number = [&](int bits) -> uint64_t {
        const bool hex = data.rfind("0x", 0) == 0 || data.rfind("0X", 0) == 0;
        const std::string digits = hex ? data.substr(2) : data;
        const std::string kind = bits == 32 ? "DWORD" : "QWORD";
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                           : "0123456789") != std::string::npos) {
            throw Failure{"Invalid " + kind + " value: '" + data + "'"};
        }
        unsigned long long n = 0;
        try {
            size_t used = 0;
            n = std::stoull(digits, &used, hex ? 16 : 10);
        } catch (...) {
            throw Failure{"Invalid " + kind + " value: '" + data + "' does not fit"};
        }
        if (bits == 32 && n > 0xFFFFFFFFull) {
            throw Failure{"Invalid DWORD value: '" + data + "' does not fit in 32 bits"};
        }
        return n;
    };
    auto little = [](uint64_t n, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
        return out;
    };
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return TextData(data);
        case REG_MULTI_SZ: {
            std::string out;
            const std::string sep = separator.empty() ? "\\0" : separator;
            size_t start = 0;
            while (start <= data.size() && !data.empty()) {
                const size_t end = std::min(data.find(sep, start), data.size());
                out += TextData(data.substr(start, end - start));
                start = end + sep.size();
            }
            return out + std::string(2, '\0');
        }
        case REG_DWORD:
            return little(number(32), 4);
        case REG_QWORD:
            return little(number(64), 8);
        case REG_BINARY:
        case REG_NONE: {
            if (data.size() % 2 != 0 ||
                data.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                throw Failure{"Invalid binary data: '" + data + "' (hex digits in pairs)"};
            }
            std::string out;
            for (size_t i = 0; i < data.size(); i += 2) {
                out.push_back(static_cast<char>(std::stoi(data.substr(i, 2), nullptr, 16)));
            }
            return out;
        }
        default:
            throw Failure{"Unsupported type"};
    }
}

int Add(const Options& o) {
    if (o.positional.size() != 1) throw Failure{"Invalid syntax: add needs one KEY"};
    const KeyName key = RequireKey(o.positional[0]);
    DWORD type = REG_SZ;
    if (o.type) {
        bool known = false;
        for (const TypeName& t : kTypes) {
            if (EqualNoCase(*o.type, t.name)) type = t.type, known = true;
        }
        if (!known ||
            (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ && type != REG_DWORD &&
             type != REG_QWORD && type != REG_BINARY && type != REG_NONE)) {
            throw Failure{"Invalid type: '" + *o.type + "'"};
        }
    }
    const std::optional<std::string> name = SelectedValue(o);
    std::string bytes;
    if (name) bytes = DataBytes(type, o.data.value_or(""), o.separator.value_or(""));

    Handle handle;
    Check(RegCreateKeyExW(key.root, key.Wide().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          handle.out(), nullptr));
    if (!name) {
        std::cout << "The operation completed successfully.\n";
        return 0;
    }
    const std::u16string wideName = utf8::ToUtf16(*name);
    const bool exists = RegQueryValueExW(handle.get(), wideName.c_str(), nullptr, nullptr, nullptr,
                                         nullptr) == ERROR_SUCCESS;
    if (exists && !o.force &&
        !Confirm("Value " + (name->empty() ? std::string("(Default)") : *name) +
                 " exists, overwrite")) {
        std::cout << "The operation was cancelled by the user.\n";
        return 0;
    }
    Check(RegSetValueExW(handle.get(), wideName.c_str(), 0, type,
                         reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size())));
    std::cout << "The operation completed successfully.\n";
    return 0;
}

// Deletes a key and everything below it, the deepest keys first.
void DeleteTree(const KeyName& key, int depth = 0) {
    CheckDepth(depth, key);
    std::vector<std::string> children;
    {
        Handle handle;
        OpenExisting(key, KEY_READ, &handle);
        children = ReadSubKeys(handle.get());
    }
    for (const auto& child : children)
        DeleteTree(KeyName{key.root, key.rootName, key.Child(child)}, depth + 1);
    Check(RegDeleteKeyW(key.root, key.Wide().c_str()));
}

int Delete(const Options& o) {
    if (o.positional.size() != 1) throw Failure{"Invalid syntax: delete needs one KEY"};
    const KeyName key = RequireKey(o.positional[0]);
    const std::optional<std::string> name = SelectedValue(o);
    Handle handle;
    OpenExisting(key, KEY_ALL_ACCESS, &handle);
    if (name) {
        Check(RegQueryValueExW(handle.get(), utf8::ToUtf16(*name).c_str(), nullptr, nullptr,
                               nullptr, nullptr));
    } else if (!o.allValues && key.subkey.empty()) {
        throw Failure{"Invalid key name: a root cannot be deleted"};
    }
    const std::string what =
        name          ? "the registry value " + (name->empty() ? std::string("(Default)") : *name)
        : o.allValues ? "all values under the registry key " + key.Full()
                      : "the registry key " + key.Full();
    if (!o.force && !Confirm("Permanently delete " + what)) {
        std::cout << "The operation was cancelled by the user.\n";
        return 0;
    }
    if (name) {
        Check(RegDeleteValueW(handle.get(), utf8::ToUtf16(*name).c_str()));
    } else if (o.allValues) {
        for (const reg::Value& v : ReadValues(handle.get())) {
            Check(RegDeleteValueW(handle.get(), utf8::ToUtf16(v.name).c_str()));
        }
    } else {
        DeleteTree(key);
    }
    std::cout << "The operation completed successfully.\n";
    return 0;
}

void Collect(const KeyName& key, std::vector<reg::KeySection>* sections, int depth = 0) {
    CheckDepth(depth, key);
    Handle handle;
    OpenExisting(key, KEY_READ, &handle);
    sections->push_back(reg::KeySection{key.Full(), false, ReadValues(handle.get())});
    for (const auto& child : ReadSubKeys(handle.get())) {
        Collect(KeyName{key.root, key.rootName, key.Child(child)}, sections, depth + 1);
    }
}

int Export(const Options& o) {
    if (o.positional.size() != 2) throw Failure{"Invalid syntax: export needs KEY and FILE"};
    const KeyName key = RequireKey(o.positional[0]);
    const std::string& file = o.positional[1];
    std::vector<reg::KeySection> sections;
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
    for (const reg::KeySection& section : sections) {
        if (const char* what = unwritable(section.path)) {
            throw Failure{"Cannot export a key name under " + key.Full() + ": it holds " + what};
        }
        for (const reg::Value& value : section.values) {
            if (const char* what = unwritable(value.name)) {
                throw Failure{"Cannot export a value name under " + section.path + ": it holds " +
                              what};
            }
        }
    }
    std::error_code ec;
    if (!o.yes && !o.force &&
        std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found) {
        throw Failure{"The file '" + file + "' exists; use /y to overwrite it"};
    }
    std::string bytes;
    try {
        bytes =
            reg::EncodeFile(sections, o.regedit4 ? reg::Version::Regedit4 : reg::Version::Version5);
    } catch (const reg::FormatError& error) {
        throw Failure{"Cannot export " + key.Full() + ": " + error.what()};
    }
    reg::ReplaceFile(file, bytes);
    std::cout << "The operation completed successfully.\n";
    return 0;
}

int Import(const Options& o) {
    if (o.positional.size() != 1) throw Failure{"Invalid syntax: import needs one FILE"};
    const std::string& file = o.positional[0];
    std::vector<reg::KeySection> sections;
    try {
        sections = reg::ParseFile(reg::ReadImportFile(file));
        reg::CheckKeepable(sections);
    } catch (const reg::ParseError& error) {
        throw Failure{file + ": " + error.what()};
    }
    std::vector<KeyName> keys;
    for (const reg::KeySection& section : sections) {
        auto key = ParseKey(section.path);
        if (!key) throw Failure{file + ": invalid key name '" + section.path + "' (unknown root)"};
        keys.push_back(*key);
    }
    // The whole file is one transaction: a failure anywhere leaves the store as it was.
    Check(RegApplyAsOne([&]() -> LONG {
        for (size_t i = 0; i < sections.size(); ++i) {
            if (sections[i].remove) {
                if (!keys[i].subkey.empty()) {
                    Handle probe;
                    if (RegOpenKeyExW(keys[i].root, keys[i].Wide().c_str(), 0, KEY_READ,
                                      probe.out()) == ERROR_SUCCESS) {
                        DeleteTree(keys[i]);
                    }
                }
                continue;
            }
            Handle handle;
            Check(RegCreateKeyExW(keys[i].root, keys[i].Wide().c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, handle.out(), nullptr));
            for (const reg::Value& v : sections[i].values) {
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = Lower(args[0]);
    if (command == "-h" || command == "--help" || command == "/?" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "afficheur-reg " << AFFICHEUR_VERSION << "\n";
        return 0;
    }
    const std::map<std::string, int (*)(const Options&)> commands = {
        {"query", Query}, {"add", Add}, {"delete", Delete}, {"export", Export}, {"import", Import},
    };
    const auto found = commands.find(command);
    if (found == commands.end()) {
        std::cerr << "ERROR: Invalid syntax: unknown command '" << args[0]
                  << "'. Type \"afficheur-reg --help\" for usage.\n";
        return 2;
    }
    try {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const auto& arg : rest) {
            if (arg == "--help" || arg == "-h" || arg == "/?") {
                std::cout << kUsage;
                return 0;
            }
        }
        return found->second(ParseOptions(command, rest));
    } catch (const Failure& failure) {
        std::cerr << "ERROR: " << failure.message << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "ERROR: " << error.what() << "\n";
        return 1;
    }
}
