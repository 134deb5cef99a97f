#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include "common/Log.h"
#include "common/Utf8.h"
#include "platform/Ansi.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace platform::registry {
namespace {

// Marks a database as ours ("AFRG"); a database with another mark is never touched.
constexpr int kApplicationId = 0x41465247;
// 1: names and texts in Windows-1252. 2: in UTF-16, as the platform keeps them.
constexpr int kSchemaVersion = 2;
// How long a call waits for another process's transaction: calls come from the window's own
// thread, so the wait is bounded as the settings files' lock is; past it the call fails with
// ERROR_BUSY, which the settings route reads as a missing setting.
constexpr int kBusyTimeoutMs = 2000;

LONG Win32Code(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FORMAT:
        case SQLITE_SCHEMA:
            return ERROR_BADDB;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_BUSY;
        case SQLITE_FULL:
            return ERROR_DISK_FULL;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_NOMEM:
            return ERROR_OUTOFMEMORY;
        case SQLITE_TOOBIG:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

// Logs one line naming the store's file and the reason, then throws.
[[noreturn]] void Fail(sqlite3* db, int code, std::string_view what) {
    const char* reason = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    const char* file = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
    std::string where;
    if (file != nullptr && *file != '\0' && what.find(file) == std::string_view::npos) {
        where = std::string(" ") + file;
    }
    LogLine("registry store" + where + ": " + std::string(what) + ": " + reason);
    throw StoreFailure{Win32Code(code)};
}

// The statements, prepared once per connection.
constexpr std::array<const char*, 22> kSql = {
    "SELECT 1 FROM keys WHERE id = ?1",
    "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2",
    "INSERT INTO keys(parent, name, folded, class) VALUES (?1, ?2, ?3, ?4)",
    "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
    "DELETE FROM vals WHERE key = ?1",
    "DELETE FROM keys WHERE id = ?1",
    "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2",
    "INSERT INTO vals(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key = ?1 AND folded = ?2",
    "SELECT id, name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2",
    "SELECT id, name, type, data FROM vals WHERE key = ?1 AND id > ?2 ORDER BY id LIMIT 1",
    "SELECT name, folded FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2",
    "SELECT name, folded FROM keys WHERE parent = ?1 AND folded > ?2 ORDER BY folded LIMIT 1",
    "PRAGMA data_version",
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "PRAGMA application_id",
    "SELECT count(*) FROM sqlite_schema",
    "PRAGMA user_version",
    "WITH RECURSIVE up(id, depth) AS (SELECT parent, 0 FROM keys WHERE id = ?1 UNION ALL "
    "SELECT keys.parent, up.depth + 1 FROM keys JOIN up ON keys.id = up.id) "
    "SELECT max(depth) FROM up",
};

// Binds, steps and resets one prepared statement; the reset happens when it goes out of scope.
class Query {
  public:
    Query(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~Query() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(int index, int64_t number) {
        Check(sqlite3_bind_int64(stmt_, index, number));
        return *this;
    }
    Query& Bind(int index, std::string_view bytes) {
        // Zero-length blobs must still be blobs, never NULL: pass a valid pointer.
        Check(sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                                  SQLITE_TRANSIENT));
        return *this;
    }
    // True when a row came back.
    bool Step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(db_, rc, "query failed");
    }
    int64_t Number(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Bytes(int column) const {
        const void* data = sqlite3_column_blob(stmt_, column);
        const int size = sqlite3_column_bytes(stmt_, column);
        return data == nullptr
                   ? std::string()
                   : std::string(static_cast<const char*>(data), static_cast<size_t>(size));
    }

  private:
    void Check(int rc) {
        if (rc != SQLITE_OK) Fail(db_, rc, "cannot bind a parameter");
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

}  // namespace

enum Store::Sql : size_t {
    kKeyExists,
    kChild,
    kAddChild,
    kHasChildren,
    kDeleteKeyValues,
    kDeleteKey,
    kValue,
    kSetValue,
    kDeleteValue,
    kValueAtOffset,
    kValueAfter,
    kChildAtOffset,
    kChildAfter,
    kDataVersion,
    kBegin,
    kBeginImmediate,
    kCommit,
    kRollback,
    kApplicationIdOf,
    kSchemaCount,
    kSchemaVersionOf,
    kDepth,
};

KeyId RootKeyId(HKEY root) {
    return static_cast<KeyId>(root - HKEY_CLASSES_ROOT) + 1;
}

std::string FoldName(std::u16string_view name) {
    std::string folded;
    folded.reserve(name.size() * 2);
    for (const char16_t unit : name) {
        const char16_t upper = UpperCaseUnit(unit);
        folded.push_back(static_cast<char>(upper >> 8));
        folded.push_back(static_cast<char>(upper & 0xFF));
    }
    return folded;
}

void Store::DbCloser::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}
void Store::StmtFinalizer::operator()(sqlite3_stmt* stmt) const {
    sqlite3_finalize(stmt);
}

Store::Store(sqlite3* db) : db_(db) {}

Store::~Store() {
    // Statements go before the connection they belong to.
    for (auto& statement : statements_)
        statement.reset();
}

void Store::Abandon() {
    for (auto& statement : statements_)
        (void)statement.release();
    (void)db_.release();
}

std::unique_ptr<Store> Store::Open(const std::filesystem::path& path, bool create) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (ec) Fail(nullptr, SQLITE_CANTOPEN, "cannot look at " + path.string());
        if (!create) return nullptr;
        // Folders the program makes are the user's alone, as the settings file's are.
        if (!CreatePrivateFolders(path.parent_path()))
            Fail(nullptr, SQLITE_CANTOPEN, "cannot create " + path.parent_path().string());
        // Made here so that it is private to the user from the start; SQLite gives its
        // journal files the same mode.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != EEXIST) {
            Fail(nullptr, SQLITE_CANTOPEN, "cannot create " + path.string());
        }
    }

    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto store = std::make_unique<Store>(raw);
    if (rc != SQLITE_OK) Fail(raw, rc, "cannot open " + path.string());
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    store->Initialise();
    return store;
}

void Store::Exec(const char* sql) {
    const int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(db_.get(), rc, sql);
}

// Checks that the database is a registry store, or makes an empty one into one. Anything
// else (another program's database, a newer schema) is refused and left untouched.
void Store::Initialise() {
    auto mark = [this] {
        Query query(db_.get(), Prepared(kApplicationIdOf));
        query.Step();
        return query.Number(0);
    };
    auto isEmpty = [this] {
        Query query(db_.get(), Prepared(kSchemaCount));
        query.Step();
        return query.Number(0) == 0;
    };
    auto refuse = [this] {
        LogLine("registry store: " + std::string(sqlite3_db_filename(db_.get(), "main")) +
                " is not a registry store of this version; left untouched");
        throw StoreFailure{ERROR_BADDB};
    };

    auto version = [this] {
        Query query(db_.get(), Prepared(kSchemaVersionOf));
        query.Step();
        return query.Number(0);
    };

    if (mark() == kApplicationId && version() > kSchemaVersion) {
        // A newer program's store: its rows may mean something this one does not know.
        LogLine("registry store: " + std::string(sqlite3_db_filename(db_.get(), "main")) +
                " has schema version " + std::to_string(version()) + ", newer than " +
                std::to_string(kSchemaVersion) + "; left untouched");
        throw StoreFailure{ERROR_BADDB};
    }
    if (mark() != kApplicationId) {
        if (mark() != 0 || !isEmpty()) refuse();
        Exec("PRAGMA journal_mode = WAL");
        Transaction transaction(*this, true);
        if (mark() == 0 && isEmpty()) {
            Exec(
                "CREATE TABLE keys ("
                "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: see ERROR_KEY_DELETED
                "  parent INTEGER NOT NULL,"
                "  name BLOB NOT NULL,"
                "  folded BLOB NOT NULL,"
                "  class BLOB NOT NULL,"
                "  UNIQUE (parent, folded));"
                "CREATE TABLE vals ("
                "  id INTEGER PRIMARY KEY,"
                "  key INTEGER NOT NULL,"
                "  name BLOB NOT NULL,"
                "  folded BLOB NOT NULL,"
                "  type INTEGER NOT NULL,"
                "  data BLOB NOT NULL,"
                "  UNIQUE (key, folded));"
                "CREATE INDEX vals_in_order ON vals (key, id);");
            for (HKEY root = HKEY_CLASSES_ROOT; root <= HKEY_DYN_DATA; ++root) {
                const std::string name = "root" + std::to_string(root - HKEY_CLASSES_ROOT);
                sqlite3_stmt* insert = nullptr;
                if (sqlite3_prepare_v2(db_.get(),
                                       "INSERT INTO keys(id, parent, name, folded, class) "
                                       "VALUES (?1, 0, ?2, ?2, x'')",
                                       -1, &insert, nullptr) != SQLITE_OK) {
                    Fail(db_.get(), sqlite3_errcode(db_.get()), "cannot create the roots");
                }
                std::unique_ptr<sqlite3_stmt, StmtFinalizer> owned(insert);
                Query query(db_.get(), insert);
                query.Bind(1, RootKeyId(root)).Bind(2, name).Step();
            }
            Exec(("PRAGMA application_id = " + std::to_string(kApplicationId) +
                  "; PRAGMA user_version = " + std::to_string(kSchemaVersion))
                     .c_str());
        } else if (mark() != kApplicationId) {
            refuse();
        }
        transaction.Commit();
    }
    if (version() < kSchemaVersion) ConvertFromVersion1();
    // Commits reach the operating system at once, so a killed process loses nothing; the
    // disk is synced at checkpoints, as Windows writes its hives lazily.
    Exec("PRAGMA synchronous = NORMAL");
}

// Version 1 kept names, classes and texts in Windows-1252. Each byte has its character, so
// the conversion loses nothing, and a name's folded form stays as it was: the code page's
// letters fold as before.
void Store::ConvertFromVersion1() {
    Transaction transaction(*this, true);
    {
        Query query(db_.get(), Prepared(kSchemaVersionOf));
        query.Step();
        if (query.Number(0) >= kSchemaVersion) return;  // another process did it meanwhile
    }
    auto prepare = [this](const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) {
            Fail(db_.get(), sqlite3_errcode(db_.get()), "cannot convert the store");
        }
        return std::unique_ptr<sqlite3_stmt, StmtFinalizer>(stmt);
    };
    auto wide = [](const std::string& ansi) { return utf8::Utf16Bytes(AnsiToUtf16(ansi)); };
    struct Row {
        int64_t id;
        std::string name, other;
        int64_t type;
    };
    std::vector<Row> rows;
    {
        auto select = prepare("SELECT id, name, class FROM keys WHERE parent != 0");
        Query query(db_.get(), select.get());
        while (query.Step())
            rows.push_back({query.Number(0), query.Bytes(1), query.Bytes(2), 0});
    }
    auto updateKey = prepare("UPDATE keys SET name = ?2, folded = ?3, class = ?4 WHERE id = ?1");
    for (const Row& row : rows) {
        Query(db_.get(), updateKey.get())
            .Bind(1, row.id)
            .Bind(2, wide(row.name))
            .Bind(3, FoldName(AnsiToUtf16(row.name)))
            .Bind(4, wide(row.other))
            .Step();
    }
    rows.clear();
    {
        auto select = prepare("SELECT id, name, data, type FROM vals");
        Query query(db_.get(), select.get());
        while (query.Step())
            rows.push_back({query.Number(0), query.Bytes(1), query.Bytes(2), query.Number(3)});
    }
    auto updateValue = prepare("UPDATE vals SET name = ?2, folded = ?3, data = ?4 WHERE id = ?1");
    for (const Row& row : rows) {
        const bool text =
            std::in_range<DWORD>(row.type) && IsTextType(static_cast<DWORD>(row.type));
        Query(db_.get(), updateValue.get())
            .Bind(1, row.id)
            .Bind(2, wide(row.name))
            .Bind(3, FoldName(AnsiToUtf16(row.name)))
            .Bind(4, text ? wide(row.other) : row.other)
            .Step();
    }
    Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    transaction.Commit();
    LogLine("registry store: " + std::string(sqlite3_db_filename(db_.get(), "main")) +
            " converted to schema version " + std::to_string(kSchemaVersion) +
            " (names and texts in Unicode)");
}

sqlite3_stmt* Store::Prepared(Sql which) {
    auto& slot = statements_[which];
    if (!slot) {
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v3(db_.get(), kSql[which], -1, SQLITE_PREPARE_PERSISTENT,
                                          &stmt, nullptr);
        if (rc != SQLITE_OK) Fail(db_.get(), rc, "cannot read the store");
        slot.reset(stmt);
    }
    return slot.get();
}

Store::Transaction::Transaction(Store& store, bool write)
    : store_(store), write_(write), nested_(store.openTransactions_ > 0) {
    if (nested_) {
        // A failure that SQLite answers by rolling back (a full disk, an I/O error) may have
        // ended the outer transaction: a savepoint would then start a transaction of its own
        // and commit this call apart from the others.
        if (sqlite3_get_autocommit(store_.db_.get()) != 0) {
            Fail(store_.db_.get(), SQLITE_ABORT, "the transaction of this call was rolled back");
        }
        store_.Exec("SAVEPOINT call");
    } else {
        Query(store_.db_.get(), store_.Prepared(write ? kBeginImmediate : kBegin)).Step();
    }
    ++store_.openTransactions_;
}

Store::Transaction::~Transaction() {
    --store_.openTransactions_;
    if (!open_) return;
    sqlite3* db = store_.db_.get();
    if (nested_) {
        sqlite3_exec(db, "ROLLBACK TO call; RELEASE call", nullptr, nullptr, nullptr);
    } else {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Store::Transaction::Commit() {
    if (nested_) {
        store_.Exec("RELEASE call");
    } else {
        Query(store_.db_.get(), store_.Prepared(kCommit)).Step();
    }
    open_ = false;
    if (write_) ++store_.localChanges_;
}

std::pair<int64_t, int64_t> Store::Stamp() {
    Query query(db_.get(), Prepared(kDataVersion));
    query.Step();
    return {query.Number(0), localChanges_};
}

bool Store::KeyExists(KeyId key) {
    return Query(db_.get(), Prepared(kKeyExists)).Bind(1, key).Step();
}

std::optional<KeyId> Store::Child(KeyId parent, std::string_view folded) {
    Query query(db_.get(), Prepared(kChild));
    if (!query.Bind(1, parent).Bind(2, folded).Step()) return std::nullopt;
    return query.Number(0);
}

KeyId Store::AddChild(KeyId parent, std::u16string_view name, std::string_view folded,
                      std::u16string_view keyClass) {
    Query(db_.get(), Prepared(kAddChild))
        .Bind(1, parent)
        .Bind(2, utf8::Utf16Bytes(name))
        .Bind(3, folded)
        .Bind(4, utf8::Utf16Bytes(keyClass))
        .Step();
    return sqlite3_last_insert_rowid(db_.get());
}

bool Store::HasChildren(KeyId key) {
    return Query(db_.get(), Prepared(kHasChildren)).Bind(1, key).Step();
}

int Store::Depth(KeyId key) {
    Query query(db_.get(), Prepared(kDepth));
    query.Bind(1, key).Step();
    return static_cast<int>(query.Number(0));
}

void Store::DeleteKey(KeyId key) {
    Query(db_.get(), Prepared(kDeleteKeyValues)).Bind(1, key).Step();
    Query(db_.get(), Prepared(kDeleteKey)).Bind(1, key).Step();
}

std::optional<ValueData> Store::Value(KeyId key, std::string_view folded) {
    Query query(db_.get(), Prepared(kValue));
    if (!query.Bind(1, key).Bind(2, folded).Step()) return std::nullopt;
    return ValueData{static_cast<DWORD>(query.Number(0)), query.Bytes(1)};
}

void Store::SetValue(KeyId key, std::u16string_view name, std::string_view folded, DWORD type,
                     std::string_view data) {
    Query(db_.get(), Prepared(kSetValue))
        .Bind(1, key)
        .Bind(2, utf8::Utf16Bytes(name))
        .Bind(3, folded)
        .Bind(4, static_cast<int64_t>(type))
        .Bind(5, data)
        .Step();
}

bool Store::DeleteValue(KeyId key, std::string_view folded) {
    Query(db_.get(), Prepared(kDeleteValue)).Bind(1, key).Bind(2, folded).Step();
    return sqlite3_changes(db_.get()) > 0;
}

std::optional<NamedValue> Store::ValueAt(KeyId key, DWORD index, EnumCursor& cursor) {
    const auto stamp = Stamp();
    const bool next = cursor.key == key && cursor.stamp == stamp && index == cursor.index + 1;
    Query query(db_.get(), Prepared(next ? kValueAfter : kValueAtOffset));
    query.Bind(1, key).Bind(2, next ? cursor.lastId : static_cast<int64_t>(index));
    if (!query.Step()) return std::nullopt;
    cursor = EnumCursor{key, index, stamp, query.Number(0), {}};
    return NamedValue{utf8::Utf16FromBytes(query.Bytes(1)),
                      ValueData{static_cast<DWORD>(query.Number(2)), query.Bytes(3)}};
}

std::optional<std::u16string> Store::ChildAt(KeyId key, DWORD index, EnumCursor& cursor) {
    const auto stamp = Stamp();
    const bool next = cursor.key == key && cursor.stamp == stamp && index == cursor.index + 1;
    Query query(db_.get(), Prepared(next ? kChildAfter : kChildAtOffset));
    query.Bind(1, key);
    if (next) {
        query.Bind(2, cursor.lastFolded);
    } else {
        query.Bind(2, static_cast<int64_t>(index));
    }
    if (!query.Step()) return std::nullopt;
    cursor = EnumCursor{key, index, stamp, 0, query.Bytes(1)};
    return utf8::Utf16FromBytes(query.Bytes(0));
}

}  // namespace platform::registry
