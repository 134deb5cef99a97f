#pragma once
// The SQLite database behind the registry services (Registry.h). Internal to platform/.
//
// The store knows keys by number and names by their folded form; it knows nothing of
// handles, access rights or paths, which Registry.cpp looks after. Names are UTF-16, kept as
// their little-endian bytes, and so is the data of the text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ), as the platform keeps them; stores of schema version 1 (Windows-1252 names
// and texts) are converted once, in place, when first opened. Every SQLite failure is
// thrown as StoreFailure with the Win32 code it stands for. One Store is one connection and
// is used by one thread at a time. All SQL takes names and data as bound parameters.

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Win32Types.h"

namespace platform::registry {

using KeyId = int64_t;

// A SQLite failure, as the Win32 error code the caller should return.
struct StoreFailure {
    LONG code;
};

// The key number of a predefined root (its rows exist in every store).
KeyId RootKeyId(HKEY root);

// The form under which names are matched and ordered: the name in upper case, as UTF-16
// code units in big-endian order, so that byte order is the order Windows compares names in.
std::string FoldName(std::u16string_view name);

struct ValueData {
    DWORD type = 0;  // REG_NONE
    std::string data;
};

struct NamedValue {
    std::u16string name;
    ValueData value;
};

// Where a walk through a key's values or subkeys stands, so that asking for the next index
// costs a seek instead of a count from the start. Valid only while nothing changed.
struct EnumCursor {
    KeyId key = 0;
    DWORD index = 0;
    std::pair<int64_t, int64_t> stamp{-1, -1};
    int64_t lastId = 0;
    std::string lastFolded;
};

class Store {
  public:
    // Opens the store at path. A missing file gives nullptr unless create is set, in which
    // case the folder and the file (mode 0600) are made. Throws StoreFailure when the file
    // cannot be opened, is corrupt or holds something that is not a registry store.
    static std::unique_ptr<Store> Open(const std::filesystem::path& path, bool create);

    // Takes ownership of an open connection; Open() is the way to get one.
    explicit Store(sqlite3* db);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Forgets the connection without closing it. Used in a child process after fork(), where
    // closing the parent's connection would disturb the parent's locks.
    void Abandon();

    // One transaction; rolled back when it goes out of scope without Commit(). Inside
    // another transaction of the same store it is a savepoint of that one: its Commit()
    // keeps its changes for the outer transaction to commit or roll back.
    class Transaction {
      public:
        Transaction(Store& store, bool write);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void Commit();

      private:
        Store& store_;
        bool write_;
        bool nested_;
        bool open_ = true;
    };

    bool KeyExists(KeyId key);
    std::optional<KeyId> Child(KeyId parent, std::string_view folded);
    KeyId AddChild(KeyId parent, std::u16string_view name, std::string_view folded,
                   std::u16string_view keyClass);
    bool HasChildren(KeyId key);
    // How many levels below its root a key lies (0 for a root).
    int Depth(KeyId key);
    // Removes the key and its values (the caller has checked it has no subkeys).
    void DeleteKey(KeyId key);

    std::optional<ValueData> Value(KeyId key, std::string_view folded);
    // Sets a value; a new one goes after the others, an existing one keeps its place and name.
    void SetValue(KeyId key, std::u16string_view name, std::string_view folded, DWORD type,
                  std::string_view data);
    // False when there was no such value.
    bool DeleteValue(KeyId key, std::string_view folded);

    // The index-th value (in the order first set) and subkey name (in folded order).
    std::optional<NamedValue> ValueAt(KeyId key, DWORD index, EnumCursor& cursor);
    std::optional<std::u16string> ChildAt(KeyId key, DWORD index, EnumCursor& cursor);

  private:
    enum Sql : size_t;
    sqlite3_stmt* Prepared(Sql which);
    void Exec(const char* sql);
    void Initialise();
    void ConvertFromVersion1();
    std::pair<int64_t, int64_t> Stamp();

    struct DbCloser {
        void operator()(sqlite3* db) const;
    };
    struct StmtFinalizer {
        void operator()(sqlite3_stmt* stmt) const;
    };
    std::unique_ptr<sqlite3, DbCloser> db_;
    std::array<std::unique_ptr<sqlite3_stmt, StmtFinalizer>, 22> statements_;
    int64_t localChanges_ = 0;
    int openTransactions_ = 0;
};

}  // namespace platform::registry
