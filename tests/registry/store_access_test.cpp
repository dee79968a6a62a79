// Stores this process cannot write, and a full disk: every read still works,
// and every write gives one code (5 for a store that cannot be written, 112
// on a full disk) through the store, the service and qvr-reg.
//
// What is real and what is simulated (each test says which it needs):
// - another user: a child process that drops to 'nobody' (65534); needs root.
// - a read-only mount: a read-only bind mount in a child's own mount
//   namespace; needs CAP_SYS_ADMIN.
// - an immutable file or folder: chattr +i through FS_IOC_SETFLAGS; needs
//   root and a file system that keeps the attribute (not overlayfs).
// - a full disk: a small tmpfs in a child's own mount namespace, filled up
//   (needs CAP_SYS_ADMIN); and everywhere RLIMIT_FSIZE in a child, where the
//   system refuses to grow a file past the limit (EFBIG, SIGXFSZ ignored).
//
// The children use no connection of the parent: the parent opens a store
// only to make it, and closes it before any fork.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <grp.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "support/run_program.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

constexpr uid_t kNobody = 65534;
constexpr const char* kKey = "SOFTWARE\\Access";

// Runs `body` in a child process; gives back the report it returned, or
// what became of a child that ended otherwise.
std::string InChild(const std::function<std::string()>& body) {
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    const std::string report = body();
    for (size_t done = 0; done < report.size();) {
      ssize_t n = write(out[1], report.data() + done, report.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(out[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    report += " [child ended with status " + std::to_string(status) + "]";
  }
  return report;
}

// In a child: becomes 'nobody'; "" or why not.
std::string BecomeNobody() {
  if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
    return std::string("cannot become nobody: ") + std::strerror(errno);
  }
  return "";
}

// In a child: a mount namespace of its own, where mounts end with the child.
// "" or why not.
std::string OwnMountNamespace() {
  if (unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return std::string("mount private: ") + std::strerror(errno);
  }
  return "";
}

// In a child with its own mount namespace: `folder` read-only. "" or why not.
std::string MountReadOnly(const std::string& folder) {
  if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
      mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
    return std::string("read-only bind mount: ") + std::strerror(errno);
  }
  return "";
}

// In a child: files may not grow past `bytes` (as on a full disk, the system
// refuses: EFBIG instead of ENOSPC). "" or why not.
std::string LimitFileSize(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {bytes, bytes};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::string("setrlimit: ") + std::strerror(errno);
  return "";
}

// Sets or clears the immutable attribute; false when the file system or the
// process may not.
bool SetImmutable(const std::string& path, bool on) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int attributes = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &attributes) == 0;
  if (done) {
    attributes = on ? attributes | FS_IMMUTABLE_FL : attributes & ~FS_IMMUTABLE_FL;
    done = ioctl(fd, FS_IOC_SETFLAGS, &attributes) == 0;
  }
  ::close(fd);
  return done;
}

// A folder that others may enter (0755), removed with all it holds.
class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvr-access-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    chmod(path_.c_str(), 0755);
  }
  ~Folder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
      SetImmutable(entry.path().string(), false);
    }
    SetImmutable(path_, false);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The text of a stored REG_SZ value (UTF-16LE of ASCII here), without its
// terminator.
std::string Text(const std::string& stored) {
  std::string text;
  for (char c : stored) {
    if (c != '\0') text += c;
  }
  return text;
}

// HKLM\SOFTWARE\Access's value "v" read straight from the store file:
// "code:text", and " read-only" when the store opened so; or why it did not.
std::string ReadDirect(const std::string& path) {
  std::unique_ptr<SqliteStore> store;
  Status opened = SqliteStore::Open(path, false, &store);
  if (!opened.ok()) return opened.ToString();
  KeyId key = 0;
  for (const char* part : {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Access"}) {
    if (store->FindChild(key, part, &key) != 0) return std::string("no ") + part;
  }
  DWORD type = 0;
  std::string data;
  LONG rc = store->GetValue(key, "v", &type, &data);
  return std::to_string(rc) + ":" + Text(data) + (store->ReadOnly() ? " read-only" : "");
}

// Makes a seeded store at `path` holding HKLM\SOFTWARE\Access "v" = `data`;
// closes it again (its side files stay, as every writing connection leaves
// them).
void MakeStore(const std::string& path, const std::string& data = "kept") {
  std::shared_ptr<RegistryService> service;
  ASSERT_TRUE(testing::IsOk(RegistryService::Open(path, "", &service)));
  HKEY key = 0;
  ASSERT_EQ(service->CreateKey(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS, &key, nullptr), 0);
  ASSERT_EQ(service->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>(data.size() + 1)),
            0);
  service->CloseKey(key);
}

// Through `service`: "read=CODE:DATA set=CODE create=CODE delete=CODE",
// the results of reading "v" of the key, writing a value, creating a key and
// deleting "v" (the read once more after the writes, which must not have
// changed it).
std::string ReadAndWrite(RegistryService& service, HKEY root) {
  HKEY key = 0;
  LONG rc = service.OpenKey(root, kKey, &key);
  if (rc != ERROR_SUCCESS) return "open key=" + std::to_string(rc);
  auto read = [&] {
    char data[64] = {};
    DWORD type = 0, size = sizeof data - 1;
    LONG got = service.QueryValue(key, "v", &type, reinterpret_cast<BYTE*>(data), &size);
    return std::to_string(got) + ":" + (got == ERROR_SUCCESS ? data : "");
  };
  std::string report = "read=" + read();
  const std::string big(64 * 1024, 'x');  // more than fits below the smaller file-size limit
  report += " set=" + std::to_string(service.SetValue(
                          key, "w", REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                          static_cast<DWORD>(big.size() + 1)));
  HKEY created = 0;
  report += " create=" + std::to_string(service.CreateKey(key, "New", KEY_ALL_ACCESS, &created,
                                                          nullptr));
  report += " delete=" + std::to_string(service.DeleteValue(key, "v"));
  report += " read=" + read();
  service.CloseKey(key);
  return report;
}

// The same through a service whose local machine is the store at `path`;
// "open=CODE MESSAGE" when it cannot be opened.
std::string OpenReadAndWrite(const std::string& path) {
  std::shared_ptr<RegistryService> service;
  Status opened = RegistryService::Open(path, "", &service);
  if (!opened.ok()) return "open=" + std::to_string(opened.code()) + " " + opened.message();
  return ReadAndWrite(*service, HKEY_LOCAL_MACHINE);
}

// Writes a machine table naming the store `path` as the machine "other".
void WriteTable(const std::string& table, const std::string& path) {
  std::ofstream(table) << "other = " << path << "\n";
  chmod(table.c_str(), 0644);
}

// The same through the machine "other" of the machine table `table`.
std::string ConnectReadAndWrite(const std::string& table) {
  std::unique_ptr<SqliteStore> memory;
  if (!SqliteStore::OpenInMemory(&memory).ok()) return "no store in memory";
  RegistryService service(std::shared_ptr<RegistryStore>(std::move(memory)), table);
  HKEY hklm = 0;
  Status connected = service.ConnectMachine("other", HKEY_LOCAL_MACHINE, &hklm);
  if (!connected.ok()) {
    return "connect=" + std::to_string(connected.code()) + " " + connected.message();
  }
  return ReadAndWrite(service, hklm);
}

constexpr const char* kReadOnlyResults = "read=0:kept set=5 create=5 delete=5 read=0:kept";
constexpr const char* kFullDiskResults = "read=0:kept set=112 create=112 delete=112 read=0:kept";

// ---------------------------------------------------------------------------
// Another user's store

class AnotherUsersStore : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to read the store as another user";
    store_ = folder_.Path() + "/store/local.sqlite";
    ASSERT_EQ(mkdir((folder_.Path() + "/store").c_str(), 0755), 0);
    MakeStore(store_);
  }
  std::string AsNobody(const std::function<std::string()>& body) {
    return InChild([&] {
      std::string failed = BecomeNobody();
      return failed.empty() ? body() : failed;
    });
  }

  Folder folder_;
  std::string store_;
};

TEST_F(AnotherUsersStore, SharedWithItsOwnerOpeningItAgainIsReadThroughItsSideFiles) {
  ASSERT_EQ(chmod(store_.c_str(), 0644), 0);
  {
    // The owner's next opening gives the side files the store's new mode.
    std::unique_ptr<SqliteStore> owner;
    ASSERT_TRUE(testing::IsOk(SqliteStore::Open(store_, false, &owner)));
  }
  for (const char* side : {"-wal", "-shm"}) {
    struct stat st {};
    ASSERT_EQ(stat((store_ + side).c_str(), &st), 0) << side;
    EXPECT_EQ(st.st_mode & 0777, 0644u) << side;
  }
  EXPECT_EQ(AsNobody([&] { return OpenReadAndWrite(store_); }), kReadOnlyResults);
  const std::string table = folder_.Path() + "/machines.conf";
  WriteTable(table, store_);
  EXPECT_EQ(AsNobody([&] { return ConnectReadAndWrite(table); }), kReadOnlyResults);
}

TEST_F(AnotherUsersStore, ChangesTheOwnerStillHasOnlyInTheLogAreRead) {
  ASSERT_EQ(chmod(store_.c_str(), 0644), 0);
  // The owner opens the store, writes and stays: the change is in the log.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t owner = fork();
  if (owner == 0) {
    std::shared_ptr<RegistryService> service;
    char byte = 'x';
    if (RegistryService::Open(store_, "", &service).ok()) {
      HKEY key = 0;
      service->OpenKey(HKEY_LOCAL_MACHINE, kKey, &key);
      byte = service->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>("new"), 4) == 0
                 ? 'y'
                 : 'n';
    }
    (void)!write(ready[1], &byte, 1);
    (void)!read(done[0], &byte, 1);
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  struct stat log {};
  ASSERT_EQ(stat((store_ + "-wal").c_str(), &log), 0);
  EXPECT_GT(log.st_size, 0);  // not yet in the store file
  EXPECT_EQ(AsNobody([&] { return ReadDirect(store_); }), "0:new read-only");
  (void)!write(done[1], &byte, 1);
  waitpid(owner, nullptr, 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

TEST_F(AnotherUsersStore, SideFilesThatCannotBeReadAreNamedWithTheReason) {
  ASSERT_EQ(chmod(store_.c_str(), 0644), 0);  // the side files stay 0600
  const std::string opened = AsNobody([&] { return OpenReadAndWrite(store_); });
  EXPECT_EQ(opened.rfind("open=5 ", 0), 0u) << opened;
  EXPECT_NE(opened.find(store_ + "-wal, which this user cannot read (Permission denied)"),
            std::string::npos)
      << opened;
  EXPECT_EQ(opened.find("not a registry store"), std::string::npos) << opened;

  // Removed (as another program closing the store last does): they cannot
  // be made in the owner's folder.
  ASSERT_EQ(unlink((store_ + "-wal").c_str()), 0);
  ASSERT_EQ(unlink((store_ + "-shm").c_str()), 0);
  const std::string missing = AsNobody([&] { return OpenReadAndWrite(store_); });
  EXPECT_EQ(missing.rfind("open=5 ", 0), 0u) << missing;
  EXPECT_NE(missing.find(store_ + "-wal, which is missing and cannot be created in " +
                         folder_.Path() + "/store (Permission denied)"),
            std::string::npos)
      << missing;

  // A machine of the machine table: 53, and the same reason.
  const std::string table = folder_.Path() + "/machines.conf";
  WriteTable(table, store_);
  const std::string connected = AsNobody([&] { return ConnectReadAndWrite(table); });
  EXPECT_EQ(connected.rfind("connect=53 ", 0), 0u) << connected;
  EXPECT_NE(connected.find("-wal, which is missing and cannot be created"), std::string::npos)
      << connected;
}

TEST(OwnStore, MadeWritableAgainItIsWritableAgain) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a user whom permissions bind";
  // As its owner (not root, whom no permission stops): a store opened while
  // it had no write permission leaves side files of that mode behind.
  Folder folder;
  ASSERT_EQ(chown(folder.Path().c_str(), kNobody, kNobody), 0);
  const std::string store = folder.Path() + "/local.sqlite";
  EXPECT_EQ(InChild([&] {
              std::string failed = BecomeNobody();
              if (!failed.empty()) return failed;
              std::string report;
              for (mode_t mode : {0600, 0400, 0600}) {
                chmod(store.c_str(), mode);  // the first time, there is no store yet
                std::shared_ptr<RegistryService> service;
                Status opened = RegistryService::Open(store, "", &service);
                if (!opened.ok()) return report + " " + opened.ToString();
                HKEY key = 0;
                report += " " + std::to_string(service->CreateKey(HKEY_LOCAL_MACHINE, kKey,
                                                                  KEY_ALL_ACCESS, &key, nullptr));
              }
              return report;
            }),
            " 0 5 0");
}

// ---------------------------------------------------------------------------
// Stores nobody can write

class UnwritableStore : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_path_ = folder_.Path() + "/store";
    ASSERT_EQ(mkdir(folder_path_.c_str(), 0755), 0);
    store_ = folder_path_ + "/local.sqlite";
    MakeStore(store_);
  }
  void RemoveSideFiles() {
    ASSERT_EQ(unlink((store_ + "-wal").c_str()), 0);
    ASSERT_EQ(unlink((store_ + "-shm").c_str()), 0);
  }
  // In a child with `folder_path_` mounted read-only: `body`'s report, or
  // "skip: REASON" when the mount cannot be made.
  std::string OnReadOnlyMount(const std::function<std::string()>& body) {
    return InChild([&] {
      std::string failed = OwnMountNamespace();
      if (failed.empty()) failed = MountReadOnly(folder_path_);
      return failed.empty() ? body() : "skip: " + failed;
    });
  }

  Folder folder_;
  std::string folder_path_;
  std::string store_;
};

#define SKIP_ON_REQUEST(report)                                             \
  if ((report).rfind("skip: ", 0) == 0) GTEST_SKIP() << (report).substr(6)

TEST_F(UnwritableStore, OnAReadOnlyMountEveryReadWorksAndEveryWriteGives5) {
  const std::string kept = OnReadOnlyMount([&] { return OpenReadAndWrite(store_); });
  SKIP_ON_REQUEST(kept);
  EXPECT_EQ(kept, kReadOnlyResults);
  const std::string table = folder_.Path() + "/machines.conf";
  WriteTable(table, store_);
  EXPECT_EQ(OnReadOnlyMount([&] { return ConnectReadAndWrite(table); }), kReadOnlyResults);
  // A copy made without its side files.
  RemoveSideFiles();
  EXPECT_EQ(OnReadOnlyMount([&] { return OpenReadAndWrite(store_); }), kReadOnlyResults);
}

TEST_F(UnwritableStore, OnAReadOnlyMountChangesLeftInTheLogAreRead) {
  // A writer that ended without closing (killed): its change is only in the log.
  EXPECT_EQ(InChild([&] {
              std::shared_ptr<RegistryService> service;
              if (!RegistryService::Open(store_, "", &service).ok()) return "open failed";
              HKEY key = 0;
              service->OpenKey(HKEY_LOCAL_MACHINE, kKey, &key);
              LONG rc = service->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>("new"), 4);
              if (rc == 0) _exit(0);  // no close: no checkpoint
              return "set failed";
            }),
            "");
  struct stat log {};
  ASSERT_EQ(stat((store_ + "-wal").c_str(), &log), 0);
  ASSERT_GT(log.st_size, 0);
  const std::string read = OnReadOnlyMount([&] { return ReadDirect(store_); });
  SKIP_ON_REQUEST(read);
  EXPECT_EQ(read, "0:new read-only");

  // Without its index the log cannot be read, and it is not ignored.
  ASSERT_EQ(unlink((store_ + "-shm").c_str()), 0);
  const std::string refused = OnReadOnlyMount([&] { return ReadDirect(store_); });
  EXPECT_NE(refused.find("-shm, which is missing and cannot be created in " + folder_path_ +
                         " (Read-only file system); its log holds changes not yet in the store"),
            std::string::npos)
      << refused;
}

TEST_F(UnwritableStore, InAnImmutableFolderOrAsAnImmutableFileItIsRead) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to set the immutable attribute";
  // A folder that cannot change holds no side files that a writer could use.
  RemoveSideFiles();
  if (!SetImmutable(folder_path_, true)) {
    GTEST_SKIP() << "the immutable attribute cannot be set here: " << std::strerror(errno);
  }
  {
    std::unique_ptr<SqliteStore> store;
    ASSERT_TRUE(testing::IsOk(SqliteStore::Open(store_, false, &store)));
    EXPECT_TRUE(store->ReadOnly());
  }
  EXPECT_EQ(OpenReadAndWrite(store_), kReadOnlyResults);
  ASSERT_TRUE(SetImmutable(folder_path_, false));

  MakeStore(store_);  // the side files are back
  ASSERT_TRUE(SetImmutable(store_, true));
  EXPECT_EQ(OpenReadAndWrite(store_), kReadOnlyResults);
  ASSERT_TRUE(SetImmutable(store_, false));
}

TEST_F(UnwritableStore, WhereTheSideFilesAreWritableTheStoreStaysWritable) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to set the immutable attribute";
  // An immutable folder whose side files exist: their owner may still write
  // through them, and so may this process (root).
  if (!SetImmutable(folder_path_, true)) {
    GTEST_SKIP() << "the immutable attribute cannot be set here: " << std::strerror(errno);
  }
  std::unique_ptr<SqliteStore> store;
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(store_, false, &store)));
  EXPECT_FALSE(store->ReadOnly());
  KeyId hklm = 0;
  EXPECT_EQ(store->FindChild(0, "HKEY_LOCAL_MACHINE", &hklm), 0);
  EXPECT_EQ(store->SetValue(hklm, "written", REG_SZ, std::string("x\0", 2)), 0);
  store.reset();
  ASSERT_TRUE(SetImmutable(folder_path_, false));
}

// ---------------------------------------------------------------------------
// A full disk

class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = folder_.Path() + "/local.sqlite";
    MakeStore(store_);
  }
  // In a child where no file may grow past `bytes`.
  std::string Limited(rlim_t bytes, const std::function<std::string()>& body) {
    return InChild([&] {
      std::string failed = LimitFileSize(bytes);
      return failed.empty() ? body() : failed;
    });
  }

  Folder folder_;
  std::string store_;
};

TEST_F(FullDisk, AWriteThatCannotGrowAFileGives112AndReadsGoOn) {
  // 32 KiB: the -shm index fits, the 64 KiB value written does not.
  EXPECT_EQ(Limited(32 * 1024, [&] { return OpenReadAndWrite(store_); }),
            "read=0:kept set=112 create=0 delete=0 read=2:");
}

TEST_F(FullDisk, WithoutRoomForTheIndexReadsWorkAndEveryWriteGives112) {
  // No file may grow at all: the -shm index cannot be given its 32 KiB.
  EXPECT_EQ(Limited(1, [&] { return OpenReadAndWrite(store_); }), kFullDiskResults);
  // Nor when another program removed the side files.
  ASSERT_EQ(unlink((store_ + "-wal").c_str()), 0);
  ASSERT_EQ(unlink((store_ + "-shm").c_str()), 0);
  EXPECT_EQ(Limited(1, [&] { return OpenReadAndWrite(store_); }), kFullDiskResults);
  const std::string table = folder_.Path() + "/machines.conf";
  WriteTable(table, store_);
  EXPECT_EQ(Limited(1, [&] { return ConnectReadAndWrite(table); }), kFullDiskResults);
}

TEST_F(FullDisk, QvrRegReadsAndSaysTheDiskIsFull) {
  setenv("QVR_REGISTRY", store_.c_str(), 1);
  const std::string program = testing::BuildOutput("tools/qvr-reg/qvr-reg");
  const std::string report = Limited(1, [&] {
    testing::ProgramResult query = testing::RunProgram(program, {"query", "HKLM\\SOFTWARE\\Access"});
    testing::ProgramResult add =
        testing::RunProgram(program, {"add", "HKLM\\SOFTWARE\\Access", "/v", "w", "/d", "x", "/f"});
    return "query=" + std::to_string(query.exit_code) +
           (query.out.find("kept") != std::string::npos ? " kept" : " [" + query.err + "]") +
           " add=" + std::to_string(add.exit_code) + " " + add.out + add.err;
  });
  unsetenv("QVR_REGISTRY");
  EXPECT_EQ(report.rfind("query=0 kept add=1 ", 0), 0u) << report;
  EXPECT_NE(report.find("There is not enough space on the disk."), std::string::npos) << report;
}

TEST_F(FullDisk, OnAFilledFileSystemReadsWorkAndWritesGive112) {
  const std::string mount_point = folder_.Path() + "/small";
  ASSERT_EQ(mkdir(mount_point.c_str(), 0755), 0);
  const std::string report = InChild([&] {
    std::string failed = OwnMountNamespace();
    if (failed.empty() && mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=256k") != 0) {
      failed = std::string("tmpfs: ") + std::strerror(errno);
    }
    if (!failed.empty()) return "skip: " + failed;
    const std::string store = mount_point + "/local.sqlite";
    {
      std::shared_ptr<RegistryService> service;
      Status made = RegistryService::Open(store, "", &service);
      if (!made.ok()) return "cannot make the store: " + made.ToString();
      HKEY key = 0;
      service->CreateKey(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS, &key, nullptr);
      service->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>("kept"), 5);
    }
    // Fill the file system to the last block.
    int fd = ::open((mount_point + "/filler").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    const int why = errno;
    while (write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
    if (why != ENOSPC) return std::string("filling stopped with ") + std::strerror(why);
    std::string report = OpenReadAndWrite(store);
    unlink((store + "-wal").c_str());
    unlink((store + "-shm").c_str());
    return report + " | " + OpenReadAndWrite(store);
  });
  SKIP_ON_REQUEST(report);
  EXPECT_EQ(report, std::string(kFullDiskResults) + " | " + kFullDiskResults);
}

}  // namespace
}  // namespace qvr
