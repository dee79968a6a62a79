#include "registry/sqlite_store.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "base/unicode.h"
#include "registry/key_time.h"
#include "registry/store_file.h"

namespace qvr {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS qvr_keys("
    // AUTOINCREMENT: a deleted key's id is never given to a new key, so a
    // handle still open on the deleted key cannot reach the new one.
    "  id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    "  fold TEXT NOT NULL, last_write INTEGER NOT NULL DEFAULT 0, class TEXT,"
    "  UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS qvr_values("
    "  id INTEGER PRIMARY KEY, key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));"
    // Values are listed in the order they were written: without this index
    // every step of a listing sorted all the key's values again.
    "CREATE INDEX IF NOT EXISTS qvr_values_order ON qvr_values(key, id);"
    "CREATE TABLE IF NOT EXISTS qvr_meta(name TEXT PRIMARY KEY, value TEXT);"
    "INSERT OR IGNORE INTO qvr_meta VALUES('format', 'qvrRegistryBrowser store 2');";
// The format markers: format 2 (the schema above) and format 1, the same
// without the keys' last_write and class columns. A store holding another
// marker is not one this code reads; programs that know format 1 only refuse
// format 2 for that reason.
constexpr std::string_view kFormatPrefix = "qvrRegistryBrowser store ";
constexpr std::string_view kFormat1 = "qvrRegistryBrowser store 1";
constexpr std::string_view kFormat2 = "qvrRegistryBrowser store 2";
// From format 1 to format 2, inside the upgrade's transaction; the keys'
// time (the upgrade's) is set after it.
constexpr const char* kUpgrade =
    "ALTER TABLE qvr_keys ADD COLUMN last_write INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE qvr_keys ADD COLUMN class TEXT;"
    "CREATE INDEX IF NOT EXISTS qvr_values_order ON qvr_values(key, id);"
    "UPDATE qvr_meta SET value='qvrRegistryBrowser store 2' WHERE name='format';";

// The SQL function qvr_utf16_length(text): the UTF-16 units of a UTF-8 text
// (names are measured as Windows measures them), NULL for NULL.
void Utf16Length(sqlite3_context* context, int, sqlite3_value** args) {
  if (sqlite3_value_type(args[0]) == SQLITE_NULL) return;
  auto text = static_cast<const unsigned char*>(sqlite3_value_text(args[0]));
  const int bytes = sqlite3_value_bytes(args[0]);
  int64_t units = 0;
  for (int i = 0; i < bytes; ++i) {
    // A lead byte starts a character; four-byte characters take two units.
    if ((text[i] & 0xC0) != 0x80) ++units;
    if (text[i] >= 0xF0) ++units;
  }
  sqlite3_result_int64(context, units);
}

// A prepared statement that is reset when it goes out of scope, so a cached
// statement never holds a read transaction open between calls.
class Step {
 public:
  explicit Step(sqlite3_stmt* s) : s_(s) {}
  ~Step() {
    if (s_ == nullptr) return;
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  Step& Bind(int i, int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Step& Bind(int i, std::string_view v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Step& BindBlob(int i, std::string_view v) {
    sqlite3_bind_blob(s_, i, v.data() ? v.data() : "", static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // A statement that could not be prepared (a table or column of the schema
  // is missing) fails as a statement that met an error.
  int Run() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
  int64_t Int(int c) const { return sqlite3_column_int64(s_, c); }
  std::string Text(int c) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
    return p ? std::string(p, sqlite3_column_bytes(s_, c)) : std::string();
  }
  // Views into the row, valid until the next Run or the end of the Step.
  std::string_view TextView(int c) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
    return p ? std::string_view(p, sqlite3_column_bytes(s_, c)) : std::string_view();
  }
  std::string_view BlobView(int c) const {
    auto p = static_cast<const char*>(sqlite3_column_blob(s_, c));
    return p ? std::string_view(p, sqlite3_column_bytes(s_, c)) : std::string_view();
  }
  std::string Blob(int c) const {
    auto p = static_cast<const char*>(sqlite3_column_blob(s_, c));
    return p ? std::string(p, sqlite3_column_bytes(s_, c)) : std::string();
  }

 private:
  sqlite3_stmt* s_;
};

// The side files SQLite keeps beside a database in WAL mode.
struct SideFile {
  const char* suffix;
  const char* what;
};
constexpr SideFile kSideFiles[] = {{"-wal", "write-ahead log"}, {"-shm", "shared-memory index"}};

// The -wal truncated to this after a checkpoint, and emptied at the last
// close (PRAGMA journal_size_limit): a kept log takes no space at rest.
constexpr const char* kLogLimit = "PRAGMA journal_size_limit=1048576;";

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The SQLite URI of the file `path` with the parameters `query` ("" for
// none): '%', '?', '#' and bytes outside printable ASCII are escaped.
std::string Uri(const std::string& path, const std::string& query) {
  std::string uri = !path.empty() && path[0] == '/' ? "file://" : "file:";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return query.empty() ? uri : uri + "?" + query;
}

// True when the file or folder carries the immutable attribute (chattr +i),
// which keeps everyone, root included, from changing it.
bool IsImmutable(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  int attributes = 0;
  bool immutable = ioctl(fd, FS_IOC_GETFLAGS, &attributes) == 0 && (attributes & FS_IMMUTABLE_FL);
  ::close(fd);
  return immutable;
}

// True when no process can write the store now: it lies on a read-only
// mount, or is immutable, or its folder is immutable and lacks a side file,
// which a writer in WAL mode needs and could not create there.
bool NobodyCanWrite(const std::string& path) {
  struct statvfs fs {};
  if (statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0) return true;
  if (IsImmutable(path)) return true;
  return IsImmutable(FolderOf(path)) && !(Exists(path + "-wal") && Exists(path + "-shm"));
}

// True when this process can write both side files: each exists and may be
// written, or can be created in the folder.
bool CanWriteSideFiles(const std::string& path) {
  const bool can_create = access(FolderOf(path).c_str(), W_OK) == 0;
  for (const SideFile& side : kSideFiles) {
    const std::string file = path + side.suffix;
    if (Exists(file) ? access(file.c_str(), W_OK) != 0 : !can_create) return false;
  }
  return true;
}

// What SQLite is to open for reading a store this process may not write, in
// `*uri`. A store nobody can write whose log holds no changes is read as
// immutable: no locks, no side files. Any other may be written meanwhile,
// and SQLite reads it consistently only through its side files: each must
// exist and be readable, or be creatable here; else 5, naming the file.
Status ReadOnlyUri(const std::string& path, std::string* uri) {
  struct stat log {};
  const bool log_holds_changes = stat((path + "-wal").c_str(), &log) == 0 && log.st_size > 0;
  if (!log_holds_changes && NobodyCanWrite(path)) {
    *uri = Uri(path, "immutable=1");
    return Status::OK();
  }
  const std::string folder = FolderOf(path);
  for (const SideFile& side : kSideFiles) {
    const std::string file = path + side.suffix;
    const std::string only = std::string("it can be read only through its ") + side.what + " " +
                             file + ", which ";
    if (Exists(file)) {
      if (access(file.c_str(), R_OK) == 0) continue;
      return Status::Registry(ERROR_ACCESS_DENIED, only + "this user cannot read (" +
                                                       std::strerror(errno) + ")");
    }
    if (access(folder.c_str(), W_OK) != 0) {
      const int why = errno;
      // Where nobody can create it, the log holds changes only it can show.
      const char* remedy = why == EROFS || why == EPERM
                               ? "; its log holds changes not yet in the store file"
                               : "; a user who may write the store makes it by opening the store";
      return Status::Registry(ERROR_ACCESS_DENIED, only + "is missing and cannot be created in " +
                                                       folder + " (" + std::strerror(why) + ")" +
                                                       remedy);
    }
  }
  *uri = Uri(path, "");
  return Status::OK();
}

// SQLite gives a side file the store's permission bits when it creates it;
// side files of this user whose store's bits changed since (made readable
// by others, or writable again) get the new bits too.
void MatchSideFileModes(const std::string& path) {
  struct stat store {};
  if (stat(path.c_str(), &store) != 0) return;
  for (const SideFile& side : kSideFiles) {
    const std::string file = path + side.suffix;
    struct stat st {};
    if (stat(file.c_str(), &st) == 0 && st.st_uid == geteuid() &&
        (st.st_mode & 0777) != (store.st_mode & 0777)) {
      chmod(file.c_str(), store.st_mode & 0777);
    }
  }
}

bool IsOutOfSpace(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

// True when the I/O that failed the last call on `db` ran out of space: a
// full disk or quota, or a file at its size limit. SQLite reports the global
// errno, which calls after the failing one may have changed, so the last
// errors that the store file and its log recorded are asked as well.
bool RanOutOfSpace(sqlite3* db) {
  if (IsOutOfSpace(sqlite3_system_errno(db))) return true;
  int error = 0;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &error) == SQLITE_OK &&
      IsOutOfSpace(error)) {
    return true;
  }
  sqlite3_file* log = nullptr;
  error = 0;
  return sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) == SQLITE_OK &&
         log != nullptr && log->pMethods != nullptr &&
         log->pMethods->xFileControl(log, SQLITE_FCNTL_LAST_ERRNO, &error) == SQLITE_OK &&
         IsOutOfSpace(error);
}

}  // namespace

Status SqliteStore::Open(const std::string& path, bool create,
                         std::unique_ptr<SqliteStore>* store, const Filler& fill) {
  if (create) RemoveStaleStoreFiles(path);
  // Looked at before SQLite opens it: opening a FIFO would wait for a writer.
  Status file = CheckStoreFile(path);
  const bool exists = file.code() != ERROR_FILE_NOT_FOUND;
  if (!exists && create) {
    file = CreateStoreFile(path, [&](const std::string& temp) { return Build(temp, fill); });
    if (file.ok()) file = CheckStoreFile(path);
  }
  if (!file.ok()) return file;
  // Side files left with another mode (by a read-only opening, or before a
  // chmod of the store) take the store's first, so its mode alone decides.
  MatchSideFileModes(path);
  // A file without any write permission is read-only even for a user (root)
  // whom the system would let write it.
  struct stat st {};
  bool read_only = access(path.c_str(), W_OK) != 0 ||
                   (stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0) ||
                   !CanWriteSideFiles(path);
  if (read_only) {
    std::string uri;
    Status readable = ReadOnlyUri(path, &uri);
    if (!readable.ok()) return readable;
    return OpenUri(uri, SQLITE_OPEN_READONLY, true, store);
  }
  Status status = OpenUri(Uri(path, ""), SQLITE_OPEN_READWRITE, false, store);
  if (status.code() == ERROR_DISK_FULL && exists) {
    // A connection must give a new -shm index its 32 KiB before it reads
    // (and SQLite deletes the index when its last connection closes, unless
    // that connection kept it as ours do). With no space for it, read
    // through a private copy of the index built from the log instead
    // (SQLite's readonly_shm, safe beside writers): reads work, writes give
    // 112.
    std::unique_ptr<SqliteStore> reader;
    if (OpenUri(Uri(path, "readonly_shm=1"), SQLITE_OPEN_READONLY, false, &reader).ok()) {
      reader->disk_full_ = true;
      *store = std::move(reader);
      return Status::OK();
    }
  }
  return status;
}

Status SqliteStore::OpenUri(const std::string& uri, int flags, bool read_only,
                            std::unique_ptr<SqliteStore>* store) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(uri.c_str(), &db, flags | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    Status status = Status::Registry(ERROR_BADDB, db ? sqlite3_errmsg(db) : "cannot open " + uri);
    sqlite3_close(db);
    return status;
  }
  if (!read_only) {
    // Keep the side files when this connection closes last (see the header).
    int keep = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
  }
  return Adopt(db, read_only, store);
}

Status SqliteStore::OpenInMemory(std::unique_ptr<SqliteStore>* store) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    Status status = Status::Registry(ERROR_BADDB, db ? sqlite3_errmsg(db) : "cannot open a store in memory");
    sqlite3_close(db);
    return status;
  }
  return Adopt(db, false, store, true);
}

Status SqliteStore::Build(const std::string& temp, const Filler& fill) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    Status status = Status::Registry(ERROR_BADDB, db ? sqlite3_errmsg(db) : "cannot open " + temp);
    sqlite3_close(db);
    return status;
  }
  std::unique_ptr<SqliteStore> made;
  Status status = Adopt(db, false, &made, true);
  if (status.ok() && fill) status = fill(*made);
  // Built without side files (Prepare); it goes into place with its log
  // turned on, as every opening expects. Closing removes the log and index
  // this makes (this connection does not keep them); a process killed
  // before that leaves them to RemoveStaleStoreFiles with the file itself.
  if (status.ok()) {
    char* msg = nullptr;
    int rc = sqlite3_exec(made->db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
      status = Status::Registry(made->Failure(rc), msg ? msg : "cannot finish " + temp);
    }
    sqlite3_free(msg);
  }
  return status;
}

Status SqliteStore::Adopt(sqlite3* db, bool read_only, std::unique_ptr<SqliteStore>* store,
                          bool fresh) {
  std::unique_ptr<SqliteStore> opened(new SqliteStore(db, read_only));
  sqlite3_create_function_v2(db, "qvr_utf16_length", 1,
                             SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                             &Utf16Length, nullptr, nullptr, nullptr);
  Status status = opened->Prepare(fresh);
  if (status.ok()) *store = std::move(opened);
  return status;
}

Status SqliteStore::Prepare(bool fresh) {
  sqlite3_busy_timeout(db_, kWriterWaitMs);  // another process's transaction
  // Look before writing anything: only a store being made is given the
  // schema; any other file without it (empty, another program's database,
  // no database at all) is refused and left as it is.
  int64_t tables = -1;
  {
    Step count(Prepared("SELECT count(*) FROM sqlite_master"));
    if (count.Run() == SQLITE_ROW) tables = count.Int(0);
  }
  if (tables < 0) {
    // Only what SQLite found in the file makes it not a store; a full disk,
    // a lock or a side file that cannot be used is told as such.
    const int failed = sqlite3_extended_errcode(db_);
    if ((failed & 0xFF) != SQLITE_NOTADB && (failed & 0xFF) != SQLITE_CORRUPT) {
      return Status::Registry(Failure(failed),
                              std::string("cannot read the store (") + sqlite3_errmsg(db_) + ")");
    }
  }
  if (tables < 0) {
    return Status::Registry(ERROR_BADDB,
                            std::string("not a registry store (") + sqlite3_errmsg(db_) + ")");
  }
  if (tables == 0 && !fresh) {
    return Status::Registry(ERROR_BADDB, "not a registry store (an empty database)");
  }
  // Switching the journal to WAL rewrites the file's header, so another
  // program's database must be recognised as such before that.
  int format = 0;
  std::string why;
  if (tables > 0 && (format = ReadFormat(&why)) == 0) {
    return Status::Registry(ERROR_BADDB, why.empty() ? "not a registry store" : why);
  }
  // Full synchronisation: a commit is on disk before the call returns.
  std::string setup = "PRAGMA synchronous=FULL;";
  // A store being made is opened by nobody else and thrown away whole when
  // anything fails: its journal stays in memory, so a process killed while
  // making it leaves no side files. Build turns on the log at the end.
  if (fresh) {
    setup = "PRAGMA journal_mode=MEMORY; " + setup;
  } else if (!read_only_) {
    setup = std::string("PRAGMA journal_mode=WAL; ") + kLogLimit + setup;
  }
  if (fresh) setup += std::string("BEGIN IMMEDIATE;") + kSchema + "COMMIT;";
  char* msg = nullptr;
  int rc = sqlite3_exec(db_, setup.c_str(), nullptr, nullptr, &msg);
  if (rc != SQLITE_OK) {
    Status status = Status::Registry(Failure(rc), msg ? msg : "cannot set up the store");
    sqlite3_free(msg);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return status;
  }
  if (fresh && (format = ReadFormat(&why)) != 2) {
    return Status::Registry(ERROR_BADDB, "not a registry store");
  }
  keeps_times_ = format == 2;
  // A connection SQLite opened read-only (a full disk's) cannot upgrade.
  if (format == 1 && !read_only_ && sqlite3_db_readonly(db_, "main") == 0) {
    keeps_times_ = Upgrade();
  }
  // A store made before an index was added gets it now. Without it the store
  // still works, only slower, so a failure here (a busy store) is not one of
  // opening.
  if (!read_only_ && tables > 0) {
    sqlite3_exec(db_, "CREATE INDEX IF NOT EXISTS qvr_values_order ON qvr_values(key, id);",
                 nullptr, nullptr, nullptr);
  }
  return Status::OK();
}

int SqliteStore::ReadFormat(std::string* why) {
  // The columns the operations use: a file without one of them (another
  // program's, or one whose schema was damaged) is refused at once, instead
  // of failing at every call.
  auto compiles = [this](const char* sql) {
    sqlite3_stmt* probe = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &probe, nullptr);
    sqlite3_finalize(probe);
    return rc == SQLITE_OK;
  };
  if (!compiles("SELECT id, parent, name, fold FROM qvr_keys") ||
      !compiles("SELECT id, key, name, fold, type, data FROM qvr_values")) {
    return 0;
  }
  std::string marker;
  {
    sqlite3_stmt* s = Prepared("SELECT value FROM qvr_meta WHERE name='format'");
    if (s == nullptr) return 0;
    Step step(s);
    if (step.Run() != SQLITE_ROW) return 0;
    marker = step.Text(0);
  }
  if (marker == kFormat1) return 1;
  if (marker == kFormat2) return compiles("SELECT last_write, class FROM qvr_keys") ? 2 : 0;
  // A later program's store is told from a foreign or damaged one.
  const std::string_view number = std::string_view(marker).substr(
      marker.compare(0, kFormatPrefix.size(), kFormatPrefix) == 0 ? kFormatPrefix.size()
                                                                  : marker.size());
  if (!number.empty() && number.size() < 9 &&
      number.find_first_not_of("0123456789") == std::string_view::npos &&
      std::stoi(std::string(number)) > 2) {
    *why = "a registry store of a later version of qvrRegistryBrowser (format " +
           std::string(number) + "); this program reads formats 1 and 2";
  }
  return 0;
}

bool SqliteStore::Upgrade() {
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  // Another process may have upgraded it while this one waited.
  std::string why;
  const int format = ReadFormat(&why);
  int rc = format == 0 ? SQLITE_ERROR : SQLITE_OK;
  if (format == 1) {
    rc = sqlite3_exec(db_, kUpgrade, nullptr, nullptr, nullptr);
    // Before the upgrade the store kept no times: from it on, it does.
    const std::string stamp = "UPDATE qvr_keys SET last_write=" + std::to_string(FileTimeNow());
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, stamp.c_str(), nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return true;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

SqliteStore::~SqliteStore() {
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

sqlite3_stmt* SqliteStore::Prepared(const char* sql) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
      SQLITE_OK) {
    return nullptr;
  }
  statements_[sql] = statement;
  return statement;
}

LONG SqliteStore::Failure(int rc) const {
  // What SQLite found wrong with the file comes first: a damaged file can
  // fail a statement in any way on the way.
  const int last = sqlite3_extended_errcode(db_);
  if ((last & 0xFF) == SQLITE_CORRUPT || (last & 0xFF) == SQLITE_NOTADB) return ERROR_BADDB;
  // Opened for reading on a full disk: SQLite refuses every write as read-only.
  if (disk_full_ && (rc & 0xFF) == SQLITE_READONLY) return ERROR_DISK_FULL;
  // Most failures of the system reach us as a plain "disk I/O error" (such as
  // giving a new -shm index its space, or writing past a file-size limit),
  // with the system's error kept apart: no space, no quota or a file grown to
  // its limit is a full disk.
  if (((rc & 0xFF) == SQLITE_IOERR || (rc & 0xFF) == SQLITE_CANTOPEN) && RanOutOfSpace(db_)) {
    return ERROR_DISK_FULL;
  }
  switch (rc & 0xFF) {
    case SQLITE_READONLY:
      // A store opened read-only refuses writes before they reach SQLite. A
      // plain "read-only" for a file we opened for writing comes from its
      // header claiming a format version SQLite will not write: damage. (The
      // other kinds, such as a file moved away meanwhile, stay 5.)
      return last == SQLITE_READONLY && !read_only_ ? ERROR_BADDB : ERROR_ACCESS_DENIED;
    case SQLITE_PERM:
      return ERROR_ACCESS_DENIED;
    case SQLITE_FULL:
      return ERROR_DISK_FULL;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    default:
      return ERROR_BADDB;  // the store is damaged
  }
}

LONG SqliteStore::FindChild(KeyId parent, std::string_view name, KeyId* child) {
  Step s(Prepared("SELECT id FROM qvr_keys WHERE parent=?1 AND fold=?2"));
  s.Bind(1, parent).Bind(2, FoldCase(name));
  int rc = s.Run();
  if (rc == SQLITE_ROW) {
    *child = s.Int(0);
    return ERROR_SUCCESS;
  }
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Failure(rc);
}

LONG SqliteStore::CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) {
  *created = false;
  // Only a key that is surely absent is inserted.
  if (LONG found = FindChild(parent, name, child); found != ERROR_FILE_NOT_FOUND) return found;
  if (read_only_) return ERROR_ACCESS_DENIED;
  bool raced = false;
  LONG rc = Atomically([&]() -> LONG {
    const int64_t now = FileTimeNow();
    Step s(Prepared(
        keeps_times_ ? "INSERT INTO qvr_keys(parent, name, fold, last_write) VALUES(?1, ?2, ?3, ?4)"
                     : "INSERT INTO qvr_keys(parent, name, fold) VALUES(?1, ?2, ?3)"));
    s.Bind(1, parent).Bind(2, name).Bind(3, FoldCase(name));
    if (keeps_times_) s.Bind(4, now);
    int step = s.Run();
    if (step == SQLITE_DONE) {
      *child = sqlite3_last_insert_rowid(db_);
      return Touch(parent, now);
    }
    // Another process may have created it between our look-up and insert.
    raced = (step & 0xFF) == SQLITE_CONSTRAINT;
    return raced ? ERROR_ALREADY_EXISTS : Failure(step);
  });
  if (raced) return FindChild(parent, name, child);
  *created = rc == ERROR_SUCCESS;
  return rc;
}

LONG SqliteStore::FindKey(KeyId key) {
  Step s(Prepared("SELECT 1 FROM qvr_keys WHERE id=?1"));
  s.Bind(1, key);
  int rc = s.Run();
  if (rc == SQLITE_ROW) return ERROR_SUCCESS;
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Failure(rc);
}

LONG SqliteStore::HasChildren(KeyId key, bool* has_children) {
  Step s(Prepared("SELECT 1 FROM qvr_keys WHERE parent=?1 LIMIT 1"));
  s.Bind(1, key);
  int rc = s.Run();
  *has_children = rc == SQLITE_ROW;
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::DeleteKey(KeyId key) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  bool has_children = false;
  if (LONG rc = HasChildren(key, &has_children)) return rc;
  if (has_children) return ERROR_ACCESS_DENIED;
  return Atomically([&]() -> LONG {
    int rc = SQLITE_DONE;
    if (keeps_times_) {
      // The parent's time moves while the key still names its parent.
      Step p(
          Prepared("UPDATE qvr_keys SET last_write=?2 "
                   "WHERE id=(SELECT parent FROM qvr_keys WHERE id=?1)"));
      p.Bind(1, key).Bind(2, FileTimeNow());
      rc = p.Run();
    }
    if (rc == SQLITE_DONE) {
      Step v(Prepared("DELETE FROM qvr_values WHERE key=?1"));
      v.Bind(1, key);
      rc = v.Run();
    }
    if (rc == SQLITE_DONE) {
      Step k(Prepared("DELETE FROM qvr_keys WHERE id=?1"));
      k.Bind(1, key);
      rc = k.Run();
    }
    return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
  });
}

LONG SqliteStore::EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) {
  int rc;
  if (cursor->index >= 0 && index == cursor->index + 1) {
    // The usual walk 0, 1, 2, ...: continue after the last name (index seek).
    Step s(Prepared("SELECT name, fold FROM qvr_keys WHERE parent=?1 AND fold>?2 "
                    "ORDER BY fold LIMIT 1"));
    s.Bind(1, key).Bind(2, cursor->fold);
    rc = s.Run();
    // An index out of order can give a name at or before the last one, and
    // the listing would go round for ever.
    if (rc == SQLITE_ROW && s.TextView(1) <= cursor->fold) {
      cursor->index = -1;
      return ERROR_BADDB;
    }
    if (rc == SQLITE_ROW) *name = s.Text(0), cursor->fold = s.Text(1);
  } else {
    Step s(Prepared("SELECT name, fold FROM qvr_keys WHERE parent=?1 ORDER BY fold "
                    "LIMIT 1 OFFSET ?2"));
    s.Bind(1, key).Bind(2, index);
    rc = s.Run();
    if (rc == SQLITE_ROW) *name = s.Text(0), cursor->fold = s.Text(1);
  }
  // The folded name comes from the index the listing walks, the name from the
  // key's row: when they disagree, one of them is damaged, and a look-up of
  // the name listed here would not find it.
  if (rc == SQLITE_ROW && FoldCase(*name) != cursor->fold) {
    cursor->index = -1;
    return ERROR_BADDB;
  }
  if (rc == SQLITE_ROW) {
    cursor->index = index;
    return ERROR_SUCCESS;
  }
  cursor->index = -1;
  return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : Failure(rc);
}

LONG SqliteStore::EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name,
                            DWORD* type, std::string* data) {
  int rc;
  auto take = [&](Step& s) {
    *name = s.Text(0);
    *type = static_cast<DWORD>(s.Int(1));
    *data = s.Blob(2);
    cursor->row = s.Int(3);
  };
  if (cursor->index >= 0 && index == cursor->index + 1) {
    Step s(Prepared("SELECT name, type, data, id FROM qvr_values WHERE key=?1 AND id>?2 "
                    "ORDER BY id LIMIT 1"));
    s.Bind(1, key).Bind(2, cursor->row);
    rc = s.Run();
    // As for sub-keys: a row at or before the last one is a damaged index.
    if (rc == SQLITE_ROW && s.Int(3) <= cursor->row) {
      cursor->index = -1;
      return ERROR_BADDB;
    }
    if (rc == SQLITE_ROW) take(s);
  } else {
    Step s(Prepared("SELECT name, type, data, id FROM qvr_values WHERE key=?1 ORDER BY id "
                    "LIMIT 1 OFFSET ?2"));
    s.Bind(1, key).Bind(2, index);
    rc = s.Run();
    if (rc == SQLITE_ROW) take(s);
  }
  if (rc == SQLITE_ROW) {
    cursor->index = index;
    return ERROR_SUCCESS;
  }
  cursor->index = -1;
  return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : Failure(rc);
}

LONG SqliteStore::Walk(KeyId top, StoreWalkVisitor& visitor) {
  // The queue of the recursive query is ordered deepest first, then by
  // folded name: the children of the key just taken are the deepest rows
  // waiting, and all of them siblings, so the next row taken is the first
  // child by name, and a key's whole tree comes out before its next sibling.
  // That is EnumChild's order, depth first. Leaving `top` out below it cuts
  // the one loop a damaged parent column could make reachable from it.
  Step keys(Prepared(
      "WITH RECURSIVE tree(id, name, fold, depth) AS ("
      "  SELECT ?1, '', '', 0"
      "  UNION ALL"
      "  SELECT k.id, k.name, k.fold, tree.depth + 1 FROM qvr_keys k JOIN tree"
      "    ON k.parent = tree.id WHERE k.id <> ?1"
      "  ORDER BY 4 DESC, 3)"
      "SELECT id, name, fold, depth FROM tree"));
  keys.Bind(1, top);
  int pruned = -1;  // the depth of the key whose tree is passed over, if any
  int rc;
  while ((rc = keys.Run()) == SQLITE_ROW) {
    const int depth = static_cast<int>(keys.Int(3));
    if (pruned >= 0 && depth > pruned) continue;
    pruned = -1;
    const KeyId id = keys.Int(0);
    const std::string_view name = keys.TextView(1);
    // As EnumChild: a name that does not fold to its indexed fold is damage.
    if (depth > 0 && FoldCase(name) != keys.TextView(2)) return ERROR_BADDB;
    LONG visited = visitor.Key(depth, id, name);
    if (visited == kWalkPrune) {
      if (depth == 0) return ERROR_SUCCESS;  // nothing else is below the top
      pruned = depth;
      continue;
    }
    if (visited == ERROR_SUCCESS) visited = WalkValues(id, visitor);
    if (visited != ERROR_SUCCESS) return visited;
  }
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::WalkValues(KeyId key, StoreWalkVisitor& visitor) {
  Step s(Prepared("SELECT name, type, data FROM qvr_values WHERE key=?1 ORDER BY id"));
  s.Bind(1, key);
  int rc;
  while ((rc = s.Run()) == SQLITE_ROW) {
    LONG visited = visitor.Value(s.TextView(0), static_cast<DWORD>(s.Int(1)), s.BlobView(2));
    if (visited != ERROR_SUCCESS) return visited;
  }
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) {
  const std::string fold = FoldCase(name);
  int rc;
  {
    Step s(Prepared("SELECT type, data FROM qvr_values WHERE key=?1 AND fold=?2"));
    s.Bind(1, key).Bind(2, fold);
    rc = s.Run();
    if (rc == SQLITE_ROW) {
      *type = static_cast<DWORD>(s.Int(0));
      *data = s.Blob(1);
      return ERROR_SUCCESS;
    }
  }
  return rc == SQLITE_DONE ? ConfirmNoValue(key, fold) : Failure(rc);
}

LONG SqliteStore::ConfirmNoValue(KeyId key, const std::string& fold) {
  // A look-up and a listing of values go through different indexes, so a
  // damaged look-up index could hide a value that the listing shows. This
  // asks the listing's index, at the cost of the key's other values, and
  // only when the answer would be "there is none". A read-only store made
  // before that index existed cannot be asked so, and is taken at its word.
  sqlite3_stmt* listing =
      Prepared("SELECT 1 FROM qvr_values INDEXED BY qvr_values_order WHERE key=?1 AND fold=?2");
  if (listing == nullptr) return ERROR_FILE_NOT_FOUND;
  Step s(listing);
  s.Bind(1, key).Bind(2, fold);
  int rc = s.Run();
  if (rc == SQLITE_ROW) return ERROR_BADDB;
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Failure(rc);
}

LONG SqliteStore::SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  return Atomically([&]() -> LONG {
    // An upsert keeps the row id, so a replaced value keeps its place.
    Step s(
        Prepared("INSERT INTO qvr_values(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                 "ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data"));
    s.Bind(1, key).Bind(2, name).Bind(3, FoldCase(name)).Bind(4, static_cast<int64_t>(type));
    s.BindBlob(5, data);
    int rc = s.Run();
    return rc == SQLITE_DONE ? Touch(key, FileTimeNow()) : Failure(rc);
  });
}

LONG SqliteStore::DeleteValue(KeyId key, std::string_view name) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  const std::string fold = FoldCase(name);
  return Atomically([&]() -> LONG {
    int rc;
    {
      Step s(Prepared("DELETE FROM qvr_values WHERE key=?1 AND fold=?2"));
      s.Bind(1, key).Bind(2, fold);
      rc = s.Run();
    }
    if (rc != SQLITE_DONE) return Failure(rc);
    return sqlite3_changes(db_) > 0 ? Touch(key, FileTimeNow()) : ConfirmNoValue(key, fold);
  });
}

template <class Body>
LONG SqliteStore::Atomically(Body body) {
  // Inside the caller's transaction the writes simply join it.
  const bool own = sqlite3_get_autocommit(db_) != 0;
  if (own) {
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return Failure(rc);
  }
  LONG result = body();
  if (!own) return result;
  if (result == ERROR_SUCCESS) {
    int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return ERROR_SUCCESS;
    // The code is taken before the rollback, which resets SQLite's last error.
    result = Failure(rc);
  }
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return result;
}

LONG SqliteStore::Touch(KeyId key, int64_t now) {
  if (!keeps_times_) return ERROR_SUCCESS;
  Step s(Prepared("UPDATE qvr_keys SET last_write=?2 WHERE id=?1"));
  s.Bind(1, key).Bind(2, now);
  int rc = s.Run();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::SetKeyTime(KeyId key, int64_t last_write) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  if (last_write < 0) return ERROR_INVALID_PARAMETER;
  if (!keeps_times_) return FindKey(key);
  LONG rc = Touch(key, last_write);
  if (rc != ERROR_SUCCESS) return rc;
  return sqlite3_changes(db_) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG SqliteStore::SetKeyClass(KeyId key, std::string_view class_name) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  if (!keeps_times_) return FindKey(key);
  int rc;
  {
    Step s(Prepared("UPDATE qvr_keys SET class=nullif(?2, '') WHERE id=?1"));
    s.Bind(1, key).Bind(2, class_name);
    rc = s.Run();
  }
  if (rc != SQLITE_DONE) return Failure(rc);
  return sqlite3_changes(db_) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG SqliteStore::QueryInfo(KeyId key, KeyInfo* info) {
  *info = KeyInfo();
  // One statement, so the counts come from one state of the store whatever
  // other processes write meanwhile. Names are measured in UTF-16 units.
  Step s(Prepared(
      keeps_times_
          ? "SELECT k.last_write, k.class, c.n, c.name_len, c.class_len, v.n, v.name_len, "
            "v.data_len "
            "FROM qvr_keys k, "
            "(SELECT count(*) n, max(qvr_utf16_length(name)) name_len, "
            "  max(qvr_utf16_length(class)) class_len FROM qvr_keys WHERE parent=?1) c, "
            "(SELECT count(*) n, max(qvr_utf16_length(name)) name_len, max(length(data)) data_len "
            "  FROM qvr_values WHERE key=?1) v "
            "WHERE k.id=?1"
          : "SELECT 0, NULL, c.n, c.name_len, 0, v.n, v.name_len, v.data_len "
            "FROM qvr_keys k, "
            "(SELECT count(*) n, max(qvr_utf16_length(name)) name_len "
            "  FROM qvr_keys WHERE parent=?1) c, "
            "(SELECT count(*) n, max(qvr_utf16_length(name)) name_len, max(length(data)) data_len "
            "  FROM qvr_values WHERE key=?1) v "
            "WHERE k.id=?1"));
  s.Bind(1, key);
  int rc = s.Run();
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Failure(rc);
  auto count = [&](int column) { return static_cast<DWORD>(s.Int(column)); };
  info->last_write = s.Int(0);
  info->class_name = s.Text(1);
  info->sub_keys = count(2);
  info->max_sub_key_len = count(3);
  info->max_class_len = count(4);
  info->values = count(5);
  info->max_value_name_len = count(6);
  info->max_value_len = count(7);
  return ERROR_SUCCESS;
}

LONG SqliteStore::BeginTransaction() {
  if (read_only_) return ERROR_ACCESS_DENIED;
  if (sqlite3_get_autocommit(db_) == 0) return ERROR_INVALID_PARAMETER;  // no nesting
  int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::CommitTransaction() {
  if (sqlite3_get_autocommit(db_) != 0) return ERROR_INVALID_PARAMETER;
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return ERROR_SUCCESS;
  LONG code = Failure(rc);
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return code;
}

LONG SqliteStore::RollbackTransaction() {
  if (sqlite3_get_autocommit(db_) != 0) return ERROR_INVALID_PARAMETER;
  int rc = sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? ERROR_SUCCESS : Failure(rc);
}

}  // namespace qvr

namespace qvr {

LONG SqliteStore::ListMounts(std::vector<MountRecord>* mounts) {
  mounts->clear();
  // Stores that never held a mount have no table for them.
  if (sqlite3_table_column_metadata(db_, nullptr, "qvr_mounts", "file", nullptr, nullptr, nullptr,
                                    nullptr, nullptr) != SQLITE_OK) {
    return ERROR_SUCCESS;
  }
  Step s(Prepared("SELECT key, file FROM qvr_mounts ORDER BY key"));
  int rc;
  while ((rc = s.Run()) == SQLITE_ROW) mounts->push_back(MountRecord{s.Int(0), s.Text(1)});
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::AddMount(KeyId key, const std::string& file) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  // Made on first use: a program that does not know mounts reads the store
  // as before and sees the mount's key as an empty key.
  int rc = sqlite3_exec(db_,
                        "CREATE TABLE IF NOT EXISTS qvr_mounts("
                        "key INTEGER PRIMARY KEY REFERENCES qvr_keys(id), file TEXT NOT NULL)",
                        nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return Failure(rc);
  Step s(Prepared("INSERT INTO qvr_mounts(key, file) VALUES(?1, ?2)"));
  s.Bind(1, key).Bind(2, file);
  rc = s.Run();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

LONG SqliteStore::RemoveMount(KeyId key) {
  if (read_only_) return ERROR_ACCESS_DENIED;
  Step s(Prepared("DELETE FROM qvr_mounts WHERE key=?1"));
  s.Bind(1, key);
  int rc = s.Run();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : Failure(rc);
}

int64_t SqliteStore::DataVersion() {
  Step s(Prepared("PRAGMA data_version"));
  return s.Run() == SQLITE_ROW ? s.Int(0) : -1;
}

}  // namespace qvr
