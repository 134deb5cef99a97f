// The registry services against the platform's observed behaviour: results, names, paths,
// roots, access rights, deleted keys, limits, ordering, and the store file itself.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryTransaction.h"
#include "support/TempFolder.h"

using namespace platform;

namespace {

// A handle closed when the test is done with it.
class Key {
  public:
    Key() = default;
    explicit Key(HKEY h) : h_(h) {}
    ~Key() {
        if (h_ != 0 && (h_ & 0x80000000u) == 0) RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &h_; }
    operator HKEY() const { return h_; }

  private:
    HKEY h_ = 0;
};

LONG Create(HKEY root, const char* path, Key* key, DWORD* disposition = nullptr,
            REGSAM sam = KEY_ALL_ACCESS) {
    return RegCreateKeyExA(root, path, 0, nullptr, 0, sam, nullptr, key->out(), disposition);
}

LONG Open(HKEY root, const char* path, Key* key, REGSAM sam = KEY_ALL_ACCESS) {
    return RegOpenKeyExA(root, path, 0, sam, key->out());
}

LONG Set(HKEY h, const char* name, const std::string& data, DWORD type = REG_SZ) {
    return RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

struct Read {
    LONG rc;
    DWORD type;
    std::string data;
};

Read Get(HKEY h, const char* name) {
    DWORD type = 0xDEAD;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(h, name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return {rc, type, ""};
    std::string data(size, '\0');
    rc = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
    return {rc, type, data};
}

std::vector<std::string> ValueNames(HKEY h) {
    std::vector<std::string> names;
    for (DWORD i = 0; i < 1000; ++i) {
        char name[300];
        DWORD length = sizeof name;
        const LONG rc = RegEnumValueA(h, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(rc, ERROR_SUCCESS);
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::string> SubKeyNames(HKEY h) {
    std::vector<std::string> names;
    for (DWORD i = 0; i < 1000; ++i) {
        char name[300];
        const LONG rc = RegEnumKeyA(h, i, name, sizeof name);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(rc, ERROR_SUCCESS);
        names.emplace_back(name);
    }
    return names;
}

class Registry : public ::testing::Test {
  protected:
    TempFolder temp;
    std::filesystem::path store = temp.settings() / "registry.sqlite3";
};

}  // namespace

TEST_F(Registry, AMissingStoreReadsAsEmptyAndIsNotCreatedByReading) {
    Key key;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(HKEY(key), 0u);
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "v").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER).size(), 0u);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(store));
}

TEST_F(Registry, TheFirstWriteCreatesAStorePrivateToTheUser) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software", &key), ERROR_SUCCESS);
    struct stat info {};
    ASSERT_EQ(::stat(store.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // So is every folder made for it.
    ASSERT_EQ(::stat(temp.settings().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(Registry, CreateReportsWhetherTheKeyIsNewAndMakesTheKeysOnTheWay) {
    DWORD disposition = 0;
    Key first, second, middle;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "A\\B\\C", &first, &disposition), ERROR_SUCCESS);
    EXPECT_NE(HKEY(first), 0u);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "a\\b\\c", &second, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_NE(HKEY(first), HKEY(second)) << "each open gives a handle of its own";
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "A\\B", &middle), ERROR_SUCCESS);
}

TEST_F(Registry, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Caf\xE9\\\x9C\xFF", &key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "Nom\xE9", "1"), ERROR_SUCCESS);
    ASSERT_EQ(Set(key,
                  "stra\xDF"
                  "e",
                  "2"),
              ERROR_SUCCESS);
    struct Case {
        const char* what;
        const char* path;
        const char* value;
        LONG expected;
    };
    const Case cases[] = {
        {"accented capitals fold", "CAF\xC9\\\x8C\x9F", "NOM\xC9", ERROR_SUCCESS},
        {"lower case matches", "caf\xE9\\\x9C\xFF", "nom\xE9", ERROR_SUCCESS},
        {"sharp s is not SS", "Caf\xE9\\\x9C\xFF", "STRASSE", ERROR_FILE_NOT_FOUND},
        {"sharp s matches itself", "Caf\xE9\\\x9C\xFF",
         "STRA\xDF"
         "E",
         ERROR_SUCCESS},
        {"e is not \xE9", "Cafe\\\x9C\xFF", "Nom\xE9", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        Key opened;
        const LONG rc = Open(HKEY_CURRENT_USER, c.path, &opened);
        if (rc != ERROR_SUCCESS) {
            EXPECT_EQ(rc, c.expected) << c.what;
            continue;
        }
        EXPECT_EQ(Get(opened, c.value).rc, c.expected) << c.what;
    }
    ASSERT_EQ(Set(key, "NOM\xC9", "3"), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Nom\xE9",
                                                         "stra\xDF"
                                                         "e"}));
    Key upper;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "CAF\xC9", &upper), ERROR_SUCCESS);
    EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), std::vector<std::string>{"Caf\xE9"});
}

TEST_F(Registry, PathsSplitAtBackslashesOnly) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "P\\Q", &key), ERROR_SUCCESS);
    const std::string tooLong(256, 'n');
    struct Case {
        const char* what;
        const char* path;
        LONG expected;
    };
    const Case cases[] = {
        {"a doubled backslash counts as one", "P\\\\Q", ERROR_SUCCESS},
        {"a trailing backslash is accepted", "P\\Q\\", ERROR_SUCCESS},
        {"a leading backslash is a bad path", "\\P\\Q", ERROR_BAD_PATHNAME},
        {"a slash is part of a name", "P/Q", ERROR_FILE_NOT_FOUND},
        {"a name past 255 characters is refused", tooLong.c_str(), ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        Key opened;
        EXPECT_EQ(Open(HKEY_CURRENT_USER, c.path, &opened), c.expected) << c.what;
    }
    Key slash;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "P/Q", &slash), ERROR_SUCCESS);
    EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), (std::vector<std::string>{"P", "P/Q"}));
    Key leading;
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "\\X", &leading), ERROR_BAD_PATHNAME);
    Key longest;
    EXPECT_EQ(Create(HKEY_CURRENT_USER, std::string(255, 'n').c_str(), &longest), ERROR_SUCCESS);
}

TEST_F(Registry, AnEmptySubkeyNamesTheKeyItself) {
    Key root, created, key, self;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "", &root), ERROR_SUCCESS);
    EXPECT_EQ(HKEY(root), HKEY_LOCAL_MACHINE) << "a root comes back as itself";
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, nullptr, &created), ERROR_SUCCESS);
    EXPECT_EQ(HKEY(created), HKEY_LOCAL_MACHINE);
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "K", &key), ERROR_SUCCESS);
    ASSERT_EQ(Open(key, "", &self), ERROR_SUCCESS);
    EXPECT_NE(HKEY(self), HKEY(key)) << "an opened key gets a new handle";
    ASSERT_EQ(Set(self, "v", "x"), ERROR_SUCCESS);
    EXPECT_EQ(Get(key, "v").data, "x");
}

TEST_F(Registry, TheSevenRootsAreSeparateTrees) {
    const HKEY writable[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                             HKEY_USERS,        HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};
    for (const HKEY root : writable) {
        Key key;
        ASSERT_EQ(Create(root, "Shared\\Name", &key), ERROR_SUCCESS) << std::hex << root;
        ASSERT_EQ(Set(key, "root", std::to_string(root)), ERROR_SUCCESS);
        ASSERT_EQ(Set(root, "", std::to_string(root)), ERROR_SUCCESS);
    }
    for (const HKEY root : writable) {
        Key key;
        ASSERT_EQ(Open(root, "Shared\\Name", &key), ERROR_SUCCESS);
        EXPECT_EQ(Get(key, "root").data, std::to_string(root)) << std::hex << root;
        EXPECT_EQ(Get(root, "").data, std::to_string(root)) << std::hex << root;
    }
}

TEST_F(Registry, PerformanceDataOpensEmptyAndHoldsNothing) {
    Key self, sub, created;
    EXPECT_EQ(Open(HKEY_PERFORMANCE_DATA, "", &self), ERROR_SUCCESS);
    EXPECT_EQ(HKEY(self), HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(Open(HKEY_PERFORMANCE_DATA, "Sub", &sub), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Create(HKEY_PERFORMANCE_DATA, "Sub", &created), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set(HKEY_PERFORMANCE_DATA, "v", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Get(HKEY_PERFORMANCE_DATA, "v").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeyNames(HKEY_PERFORMANCE_DATA).size(), 0u);
}

TEST_F(Registry, HandlesThatAreNotOpenAreInvalid) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K", &key), ERROR_SUCCESS);
    HKEY closed = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &closed), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    for (const HKEY bad : {HKEY(0), HKEY(0x80000007), HKEY(0x12345678), closed}) {
        Key opened;
        char name[10];
        EXPECT_EQ(Open(bad, "", &opened), ERROR_INVALID_HANDLE) << std::hex << bad;
        EXPECT_EQ(Set(bad, "v", "x"), ERROR_INVALID_HANDLE) << std::hex << bad;
        EXPECT_EQ(Get(bad, "v").rc, ERROR_INVALID_HANDLE) << std::hex << bad;
        EXPECT_EQ(RegEnumKeyA(bad, 0, name, sizeof name), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyA(bad, "K"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE) << std::hex << bad;
    }
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(Registry, TheAccessMaskOfAHandleIsEnforced) {
    Key setup, reader, writer;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K\\Sub", &setup), ERROR_SUCCESS);
    ASSERT_EQ(Set(setup, "v", "x"), ERROR_SUCCESS);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "K\\Sub", &reader, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "K", &writer, KEY_WRITE), ERROR_SUCCESS);
    Key writerSub;
    ASSERT_EQ(Open(writer, "Sub", &writerSub, KEY_WRITE), ERROR_SUCCESS);
    Key refused, own, made;
    char name[50];
    DWORD length = sizeof name;
    struct Case {
        const char* what;
        LONG rc;
        LONG expected;
    };
    const Case cases[] = {
        {"read handle reads", Get(reader, "v").rc, ERROR_SUCCESS},
        {"read handle cannot set", Set(reader, "v", "y"), ERROR_ACCESS_DENIED},
        {"read handle cannot delete a value", RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED},
        {"write handle sets", Set(writerSub, "w", "y"), ERROR_SUCCESS},
        {"write handle cannot query", Get(writerSub, "v").rc, ERROR_ACCESS_DENIED},
        {"write handle cannot list values",
         RegEnumValueA(writerSub, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
         ERROR_ACCESS_DENIED},
        {"write handle cannot list keys", RegEnumKeyA(writer, 0, name, sizeof name),
         ERROR_ACCESS_DENIED},
        {"read handle cannot make a subkey", Create(reader, "New", &refused), ERROR_ACCESS_DENIED},
        {"read handle opens its own key through create", Create(reader, "", &own), ERROR_SUCCESS},
        {"write handle makes a subkey", Create(writer, "Made", &made), ERROR_SUCCESS},
        {"a key with subkeys is not deleted", RegDeleteKeyA(HKEY_CURRENT_USER, "K"),
         ERROR_ACCESS_DENIED},
        {"a root is not deleted", RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.rc, c.expected) << c.what;
    EXPECT_EQ(Get(setup, "v").data, "x");
}

TEST_F(Registry, AHandleToADeletedKeyAnswersKeyDeletedToAllButClose) {
    Key parent, doomed;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "P", &parent), ERROR_SUCCESS);
    ASSERT_EQ(Create(parent, "Doomed", &doomed), ERROR_SUCCESS);
    ASSERT_EQ(Set(doomed, "v", "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(parent, "DOOMED"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "Doomed"), ERROR_FILE_NOT_FOUND);

    Key sub, again;
    char name[10];
    EXPECT_EQ(Get(doomed, "v").rc, ERROR_KEY_DELETED);
    EXPECT_EQ(Set(doomed, "v", "y"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyA(doomed, 0, name, sizeof name), ERROR_KEY_DELETED);
    EXPECT_EQ(Create(doomed, "Sub", &sub), ERROR_KEY_DELETED);
    // A key made again under the same name is another key.
    ASSERT_EQ(Create(parent, "Doomed", &again), ERROR_SUCCESS);
    EXPECT_EQ(Get(doomed, "v").rc, ERROR_KEY_DELETED);
    EXPECT_EQ(Get(again, "v").rc, ERROR_FILE_NOT_FOUND) << "the values went with the key";
    HKEY raw = 0;
    ASSERT_EQ(RegOpenKeyExA(parent, "Doomed", 0, KEY_ALL_ACCESS, &raw), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(raw, ""), ERROR_SUCCESS) << "an empty subkey deletes the key itself";
    EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
}

TEST_F(Registry, QueriesGiveSizesTypesAndRawBytes) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K", &key), ERROR_SUCCESS);
    const std::string bytes("a\0b\xFF", 4);
    ASSERT_EQ(Set(key, "bin", bytes, REG_BINARY), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "odd", "zz", 0x12345), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "none", "", REG_NONE), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "null", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "bad", 0, REG_SZ, nullptr, 3), ERROR_NOACCESS);

    struct Case {
        const char* name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"bin", REG_BINARY, bytes}, {"BIN", REG_BINARY, bytes}, {"odd", 0x12345, "zz"},
        {"none", REG_NONE, ""},     {"null", REG_SZ, ""},
    };
    for (const Case& c : cases) {
        const Read read = Get(key, c.name);
        EXPECT_EQ(read.rc, ERROR_SUCCESS) << c.name;
        EXPECT_EQ(read.type, c.type) << c.name;
        EXPECT_EQ(read.data, c.data) << c.name;
    }

    BYTE small[3] = {'#', '#', '#'};
    DWORD size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "bin", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u) << "the needed size comes back";
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(small[0], '#') << "nothing is copied into a buffer too small";
    EXPECT_EQ(RegQueryValueExA(key, "bin", nullptr, nullptr, small, nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key, "bin", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Get(key, "missing").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(key, "").rc, ERROR_FILE_NOT_FOUND) << "no default value until one is set";
    EXPECT_EQ(RegDeleteValueA(key, "missing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ValueNamesStopAt16383Characters) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K", &key), ERROR_SUCCESS);
    const std::string longest(16383, 'n');
    EXPECT_EQ(Set(key, longest.c_str(), "x"), ERROR_SUCCESS);
    EXPECT_EQ(Set(key, (longest + "n").c_str(), "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Get(key, longest.c_str()).data, "x");
}

TEST_F(Registry, ValuesListInTheOrderFirstSetAndKeysInUpperCaseOrder) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K", &key), ERROR_SUCCESS);
    for (const char* name : {"zeta", "Alpha", "mid", "", "gone"}) {
        ASSERT_EQ(Set(key, name, "1"), ERROR_SUCCESS);
    }
    ASSERT_EQ(Set(key, "ALPHA", "2"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "gone"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "zeta"), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "Zeta", "3"), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Alpha", "mid", "", "Zeta"}))
        << "overwriting keeps a value's place; deleting and setting again moves it last";

    // '_' (0x5F) sorts after the capitals but before the lower-case letters it folds with;
    // '\x80' (the euro sign, U+20AC) after every other Latin letter.
    for (const char* name : {"b", "_", "A", "\x80", "\xE9", "c"}) {
        Key sub;
        ASSERT_EQ(Create(key, name, &sub), ERROR_SUCCESS);
    }
    EXPECT_EQ(SubKeyNames(key), (std::vector<std::string>{"A", "b", "c", "_", "\xE9", "\x80"}));
}

TEST_F(Registry, EnumerationAnswersMoreDataAndNoMoreItems) {
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K\\Name", &key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "four", "data"), ERROR_SUCCESS);
    char name[5] = "####";
    DWORD length = 4;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA)
        << "a name needs room for its NUL";
    EXPECT_EQ(length, 4u);
    length = 5;
    BYTE data[2];
    DWORD size = sizeof data;
    DWORD type = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u) << "the data's needed size comes back";
    EXPECT_EQ(std::string(name), "four");
    EXPECT_EQ(length, 4u);
    length = 5;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    Key parent;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "K", &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyA(parent, 0, name, 4), ERROR_MORE_DATA);
    EXPECT_EQ(RegEnumKeyA(parent, 0, name, 5), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "Name");
    EXPECT_EQ(RegEnumKeyA(parent, 1, name, 5), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, AnEnumerationSeesChangesMadeBetweenItsSteps) {
    Key key, other;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "K", &key), ERROR_SUCCESS);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "K", &other), ERROR_SUCCESS);
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(Set(key, name, "1"), ERROR_SUCCESS);
    char name[10];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(other, "a"), ERROR_SUCCESS);
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "c") << "index 1 of b, c";
}

// The tree stops 512 levels below its root, as the platform's does, so that no walk through
// it (a listing, an export, a deletion of a tree) can be driven into endless recursion.
TEST_F(Registry, KeysStop512LevelsBelowTheirRoot) {
    auto path = [](int levels, const char* name) {
        std::string out;
        for (int i = 0; i < levels; ++i)
            out += std::string(i == 0 ? "" : "\\") + name;
        return out;
    };
    struct Case {
        const char* what;
        int existing;  // levels made first
        int asked;     // levels of the path asked for
        LONG rc;
    };
    const Case cases[] = {
        {"512 levels in one call", 0, 512, ERROR_SUCCESS},
        {"513 levels in one call", 0, 513, ERROR_INVALID_PARAMETER},
        {"one more level below 512 existing ones", 512, 513, ERROR_INVALID_PARAMETER},
        {"opening the 512th level again", 512, 512, ERROR_SUCCESS},
    };
    int round = 0;
    for (const Case& c : cases) {
        const std::string name = "r" + std::to_string(round++);
        if (c.existing > 0) {
            Key made;
            ASSERT_EQ(Create(HKEY_CURRENT_USER, path(c.existing, name.c_str()).c_str(), &made),
                      ERROR_SUCCESS)
                << c.what;
        }
        Key key;
        EXPECT_EQ(Create(HKEY_CURRENT_USER, path(c.asked, name.c_str()).c_str(), &key), c.rc)
            << c.what;
        if (c.rc != ERROR_SUCCESS) {
            Key none;
            EXPECT_EQ(Open(HKEY_CURRENT_USER, name.c_str(), &none),
                      c.existing > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND)
                << c.what << ": a refused call makes no key on the way";
        }
    }
    // The depth counts from the root, whatever handle the path starts from.
    Key deep, deeper;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, path(510, "r0").c_str(), &deep), ERROR_SUCCESS);
    EXPECT_EQ(Create(deep, "a\\b", &deeper), ERROR_SUCCESS);
    Key tooDeep;
    EXPECT_EQ(Create(deep, "c\\d\\e", &tooDeep), ERROR_INVALID_PARAMETER);
}

// Calls made inside RegApplyAsOne are one transaction: all of them or none.
TEST_F(Registry, CallsAppliedAsOneAreKeptTogetherOrNotAtAll) {
    {
        Key key;
        ASSERT_EQ(Create(HKEY_CURRENT_USER, "Shop", &key), ERROR_SUCCESS);
        ASSERT_EQ(Set(key, "kept", std::string("1\0", 2)), ERROR_SUCCESS);
    }
    // Deletes a value, makes a key with a value, then ends as `end` says.
    auto changes = [](LONG end) {
        return [end]() -> LONG {
            Key shop, made;
            if (Open(HKEY_CURRENT_USER, "Shop", &shop) != ERROR_SUCCESS) return 1;
            if (RegDeleteValueA(shop, "kept") != ERROR_SUCCESS) return 2;
            if (Create(HKEY_CURRENT_USER, "Shop\\New", &made) != ERROR_SUCCESS) return 3;
            if (Set(made, "v", std::string("x\0", 2)) != ERROR_SUCCESS) return 4;
            // A call that fails inside keeps the others: only its own part is undone.
            if (RegDeleteValueA(made, "missing") != ERROR_FILE_NOT_FOUND) return 5;
            if (Get(made, "v").data != std::string("x\0", 2)) return 6;
            if (end == -1) throw std::runtime_error("stopped");
            return end;
        };
    };
    auto unchanged = [](const char* what) {
        Key shop, made;
        ASSERT_EQ(Open(HKEY_CURRENT_USER, "Shop", &shop), ERROR_SUCCESS) << what;
        EXPECT_EQ(Get(shop, "kept").rc, ERROR_SUCCESS) << what;
        EXPECT_EQ(Open(HKEY_CURRENT_USER, "Shop\\New", &made), ERROR_FILE_NOT_FOUND) << what;
    };

    EXPECT_EQ(RegApplyAsOne(changes(ERROR_DISK_FULL)), ERROR_DISK_FULL);
    unchanged("a body that fails");
    EXPECT_THROW(RegApplyAsOne(changes(-1)), std::runtime_error);
    unchanged("a body that throws");

    EXPECT_EQ(RegApplyAsOne(changes(ERROR_SUCCESS)), ERROR_SUCCESS);
    Key shop, made;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Shop", &shop), ERROR_SUCCESS);
    EXPECT_EQ(Get(shop, "kept").rc, ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Shop\\New", &made), ERROR_SUCCESS);
    EXPECT_EQ(Get(made, "v").data, std::string("x\0", 2));
}

// The store keeps Unicode, as the platform's registry does: the UTF-16 calls give back every
// character, and the code-page calls convert as the platform's do, a character the code page
// lacks becoming '?' and every size being that of the converted data.
TEST_F(Registry, NamesAndTextsKeepUnicodeAndTheCodePageCallsConvert) {
    const std::u16string shop = u"Bo\u0101t \u0141\u00F3d\u017A \u03A9";  // Boāt Łódź Ω
    const std::u16string text = u"Caf\u00E9 \u0151 \U0001F600";           // Café ő 😀
    auto bytes = [](const std::u16string& units) {
        std::string out;
        for (const char16_t unit : units) {
            out.push_back(static_cast<char>(unit & 0xFF));
            out.push_back(static_cast<char>(unit >> 8));
        }
        return out;
    };
    Key key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (u"Software\\" + shop).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.out(), nullptr),
              ERROR_SUCCESS);
    const std::string data = bytes(text + u'\0');
    ASSERT_EQ(
        RegSetValueExW(key, u"n\u0101me", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
    const std::string raw = "\x01\xFF\x80";
    ASSERT_EQ(RegSetValueExW(key, u"raw", 0, REG_BINARY, reinterpret_cast<const BYTE*>(raw.data()),
                             static_cast<DWORD>(raw.size())),
              ERROR_SUCCESS);

    // UTF-16: the name by any case, the data byte for byte.
    DWORD type = 0;
    std::string back(100, '\0');
    DWORD size = static_cast<DWORD>(back.size());
    ASSERT_EQ(RegQueryValueExW(key, u"N\u0100ME", nullptr, &type,
                               reinterpret_cast<BYTE*>(back.data()), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(back.substr(0, size), data);
    WCHAR name[20] = {};
    DWORD length = 20;
    ASSERT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, length), u"n\u0101me");
    Key software;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software", &software), ERROR_SUCCESS);
    WCHAR child[40] = {};
    ASSERT_EQ(RegEnumKeyW(software, 0, child, 40), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(child), shop);
    Key again;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\BO\u0100T \u0142\u00D3D\u0179 \u03C9", 0,
                            KEY_READ, again.out()),
              ERROR_SUCCESS)
        << "letters beyond the code page match without regard to case";

    // The code page: '?' where it lacks the character, one per character.
    EXPECT_EQ(Get(key, "n?me").rc, ERROR_FILE_NOT_FOUND) << "'?' names another value";
    const std::vector<std::string> names = ValueNames(key);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "n?me");
    EXPECT_EQ(SubKeyNames(software), std::vector<std::string>{"Bo?t ?\xF3"
                                                              "d? ?"});
    DWORD textSize = 0;
    char valueName[20];
    DWORD valueLength = sizeof valueName;
    ASSERT_EQ(RegEnumValueA(key, 0, valueName, &valueLength, nullptr, &type, nullptr, &textSize),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(textSize, 9u) << "Caf\xE9 ? ? and the NUL, in the code page's bytes";
    std::string ansi(textSize, '\0');
    ASSERT_EQ(RegEnumValueA(key, 0, valueName, &(valueLength = sizeof valueName), nullptr, &type,
                            reinterpret_cast<BYTE*>(ansi.data()), &textSize),
              ERROR_SUCCESS);
    EXPECT_EQ(ansi, std::string("Caf\xE9 ? ?\0", 9));
    EXPECT_EQ(Get(key, "raw").data, raw) << "other types pass unchanged";

    // A code-page write is kept as its characters: the UTF-16 calls read them.
    ASSERT_EQ(Set(key, "ansi", std::string("\x80 \xE9\0", 4)), ERROR_SUCCESS);
    size = static_cast<DWORD>(back.size());
    ASSERT_EQ(
        RegQueryValueExW(key, u"ansi", nullptr, &type, reinterpret_cast<BYTE*>(back.data()), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(back.substr(0, size), bytes(std::u16string(u"\u20AC \u00E9") + u'\0'));
    EXPECT_EQ(Get(key, "ansi").data, std::string("\x80 \xE9\0", 4));
}
