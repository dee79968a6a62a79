// Stores this process cannot write, and a full disk: every read still works,
// and every write gives one code (5 for a store that cannot be written, 112
// on a full disk) through the store, the service, the machine table and
// qvr-reg.
//
// What is real and what is simulated (see Under; each test says which it
// needs):
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
#include <gmock/gmock.h>
#include <grp.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr uid_t kNobody = 65534;
constexpr const char* kKey = "SOFTWARE\\Access";
constexpr const char* kReadOnlyResults = "read=0:kept set=5 create=5 delete=5 read=0:kept";
constexpr const char* kFullDiskResults = "read=0:kept set=112 create=112 delete=112 read=0:kept";

// What a child process runs under: it sets itself up in the child and gives
// back "" or why not ("skip: " and why, for a privilege that is missing).
using Under = std::function<std::string()>;

std::string Failed(const char* step) { return std::string(step) + ": " + std::strerror(errno); }

std::string AsNobody() {
  const bool done = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
  return done ? "" : Failed("cannot become nobody");
}

// Files may not grow past `bytes` (as on a full disk, the system refuses:
// EFBIG instead of ENOSPC).
Under FileSizeLimit(rlim_t bytes) {
  return [bytes] {
    const struct rlimit limit { bytes, bytes };
    const bool done = signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    return done ? "" : Failed("setrlimit");
  };
}

// In a mount namespace of its own, whose mounts end with the child: `path`
// mounted read-only, or a 256 KiB tmpfs there. Needs CAP_SYS_ADMIN.
Under Mounted(const std::string& path, bool tmpfs) {
  return [path, tmpfs] {
    const char* at = path.c_str();
    const bool done =
        unshare(CLONE_NEWNS) == 0 &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        (tmpfs ? mount("tmpfs", at, "tmpfs", 0, "size=256k") == 0
               : mount(at, at, nullptr, MS_BIND, nullptr) == 0 &&
                     mount(nullptr, at, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    return done ? "" : "skip: " + Failed(tmpfs ? "a tmpfs" : "a read-only bind mount");
  };
}

// Runs `body` in a child process under `under`; gives back the report it
// returned, why `under` could not be entered, or what became of a child that
// ended otherwise.
std::string InChild(const Under& under, const std::function<std::string()>& body) {
  constexpr size_t kSize = 1 << 16;
  auto* shared = static_cast<char*>(
      mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (shared == MAP_FAILED) return "no shared memory";
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string failed = under();
    (failed.empty() ? body() : failed).copy(shared, kSize - 1);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::string report(shared);
  munmap(shared, kSize);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    report += " [child ended with status " + std::to_string(status) + "]";
  }
  return report;
}

#define SKIP_IF_ASKED(report) \
  if ((report).rfind("skip: ", 0) == 0) GTEST_SKIP() << (report).substr(6)

// Sets or clears the immutable attribute; false when the file system or the
// process may not.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) ::close(fd);
  return done;
}

// HKLM\SOFTWARE\Access's value "v" read straight from the store file:
// "code:text", and " read-only" when the store opened so; or why it did not.
std::string ReadDirect(const std::string& path) {
  std::unique_ptr<SqliteStore> store;
  const Status opened = SqliteStore::Open(path, false, &store);
  if (!opened.ok()) return opened.ToString();
  KeyId key = 0;
  for (const char* part : {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Access"}) {
    if (store->FindChild(key, part, &key) != 0) return std::string("no ") + part;
  }
  DWORD type = 0;
  std::string data;
  const LONG rc = store->GetValue(key, "v", &type, &data);
  std::erase(data, '\0');  // UTF-16LE of ASCII here, and its terminator
  return std::to_string(rc) + ":" + data + (store->ReadOnly() ? " read-only" : "");
}

// Sets HKLM\SOFTWARE\Access "v" = `data` in the store at `path`, made seeded
// when there is none; "" or why not. The service is left open in `keep` when
// given, else closed (its side files stay, as every writing connection leaves
// them).
std::string MakeStore(const std::string& path, const std::string& data = "kept",
                      std::shared_ptr<RegistryService>* keep = nullptr) {
  std::shared_ptr<RegistryService> service;
  const Status opened = RegistryService::Open(path, "", &service);
  if (!opened.ok()) return opened.ToString();
  HKEY key = 0;
  LONG rc = service->CreateKey(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS, &key, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = service->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1));
  }
  if (keep != nullptr) *keep = service;
  return rc == ERROR_SUCCESS ? "" : "error " + std::to_string(rc);
}

enum class Via { kService, kMachineTable, kStoreFile };

// Through a service over the store at `path`, or over the machine "other" of
// the machine table at `path`: "read=CODE:DATA set=CODE create=CODE
// delete=CODE read=CODE:DATA", reading "v", writing a value, creating a key,
// deleting "v" and reading "v" once more (which the writes must not have
// changed); "open=" or "connect=CODE MESSAGE" when the store cannot be used.
std::string ReadAndWrite(Via via, const std::string& path) {
  std::shared_ptr<RegistryService> service;
  std::unique_ptr<SqliteStore> memory;
  HKEY root = HKEY_LOCAL_MACHINE;
  Status opened = via == Via::kService ? RegistryService::Open(path, "", &service)
                                       : SqliteStore::OpenInMemory(&memory);
  if (opened.ok() && memory != nullptr) {
    service = std::make_shared<RegistryService>(std::move(memory), path);
    opened = service->ConnectMachine("other", HKEY_LOCAL_MACHINE, &root);
  }
  if (!opened.ok()) {
    return (via == Via::kService ? "open=" : "connect=") + std::to_string(opened.code()) + " " +
           opened.message();
  }
  HKEY key = 0, created = 0;
  if (LONG rc = service->OpenKey(root, kKey, &key)) return "open key=" + std::to_string(rc);
  const auto read = [&] {
    char data[64] = {};
    DWORD type = 0, size = sizeof data - 1;
    const LONG got = service->QueryValue(key, "v", &type, reinterpret_cast<BYTE*>(data), &size);
    return std::to_string(got) + ":" + (got == ERROR_SUCCESS ? data : "");
  };
  const std::string big(64 * 1024, 'x');  // more than fits below the smaller file-size limit
  const auto* bytes = reinterpret_cast<const BYTE*>(big.c_str());
  std::string report = "read=" + read();
  report += " set=" + std::to_string(service->SetValue(key, "w", REG_SZ, bytes, big.size() + 1));
  report += " create=" +
            std::to_string(service->CreateKey(key, "New", KEY_ALL_ACCESS, &created, nullptr));
  report += " delete=" + std::to_string(service->DeleteValue(key, "v"));
  return report + " read=" + read();
}

// In a temporary folder that others may enter (0755): a store holding
// HKLM\SOFTWARE\Access "v" = "kept" in a folder of its own, and a machine
// table naming it as the machine "other".
class StoreAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(folder_, "");
    ASSERT_EQ(mkdir(dir_.c_str(), 0755), 0);
    ASSERT_EQ(MakeStore(store_), "");
    std::ofstream(table_) << "other = " << store_ << "\n";
    ASSERT_EQ(chmod(table_.c_str(), 0644), 0);
  }
  void TearDown() override {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_, ec)) {
      SetImmutable(entry.path().string(), false);
    }
    std::filesystem::remove_all(folder_, ec);
  }
  void RemoveSideFiles() {
    ASSERT_EQ(unlink((store_ + "-wal").c_str()), 0);
    ASSERT_EQ(unlink((store_ + "-shm").c_str()), 0);
  }
  // A child that sets "v" = "new" and keeps the store open, stopped, until
  // Stop: the change is only in the log. Its id once it has written, or -1.
  pid_t StartWriter() {
    const pid_t pid = fork();
    if (pid == 0) {
      std::shared_ptr<RegistryService> service;
      if (MakeStore(store_, "new", &service).empty()) raise(SIGSTOP);
      _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, WUNTRACED);
    return WIFSTOPPED(status) ? pid : -1;
  }
  // Kills it: it ends without closing the store, so without a checkpoint.
  static void Stop(pid_t writer) {
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
  }
  // In a child under `under`: ReadAndWrite through the service or the
  // machine table, or ReadDirect of the store file.
  std::string Report(const Under& under, Via via) {
    return InChild(under, [&] {
      if (via == Via::kStoreFile) return ReadDirect(store_);
      return ReadAndWrite(via, via == Via::kService ? store_ : table_);
    });
  }

  const std::string folder_ = [] {
    std::string path = (std::filesystem::temp_directory_path() / "qvr-access-XXXXXX").string();
    return mkdtemp(path.data()) != nullptr && chmod(path.c_str(), 0755) == 0 ? path : "";
  }();
  const std::string dir_ = folder_ + "/store";
  const std::string store_ = dir_ + "/local.sqlite";
  const std::string table_ = folder_ + "/machines.conf";
  const Under read_only_ = Mounted(dir_, false);
};

// ---------------------------------------------------------------------------
// Another user's store, shared with others (0644)

class AnotherUsersStore : public StoreAccess {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to read the store as another user";
    StoreAccess::SetUp();
    ASSERT_EQ(chmod(store_.c_str(), 0644), 0);  // the side files stay 0600
  }
};

TEST_F(AnotherUsersStore, IsReadThroughItsSideFilesOrNamesTheOnesItCannotUse) {
  EXPECT_THAT(Report(AsNobody, Via::kService),
              AllOf(StartsWith("open=5 "),
                    HasSubstr(store_ + "-wal, which this user cannot read (Permission denied)"),
                    ::testing::Not(HasSubstr("not a registry store"))));
  // Removed (as another program closing the store last does): they cannot be
  // made in the owner's folder; a machine of the machine table gives 53.
  RemoveSideFiles();
  const std::string missing =
      store_ + "-wal, which is missing and cannot be created in " + dir_ + " (Permission denied)";
  EXPECT_THAT(Report(AsNobody, Via::kService), AllOf(StartsWith("open=5 "), HasSubstr(missing)));
  EXPECT_THAT(Report(AsNobody, Via::kMachineTable),
              AllOf(StartsWith("connect=53 "), HasSubstr(missing)));

  // The owner's next opening gives the side files the store's mode.
  ASSERT_EQ(ReadDirect(store_), "0:kept");
  for (const char* side : {"-wal", "-shm"}) {
    EXPECT_EQ(std::filesystem::status(store_ + side).permissions(), std::filesystem::perms(0644));
  }
  for (Via via : {Via::kService, Via::kMachineTable}) {
    EXPECT_EQ(Report(AsNobody, via), kReadOnlyResults);
  }
  // Changes the owner, still there, has only in the log are read.
  const pid_t owner = StartWriter();
  ASSERT_GT(owner, 0);
  EXPECT_EQ(Report(AsNobody, Via::kStoreFile), "0:new read-only");
  Stop(owner);
  EXPECT_GT(std::filesystem::file_size(store_ + "-wal"), 0u);  // not yet in the store file
}

class OwnStore : public StoreAccess {};

TEST_F(OwnStore, MadeWritableAgainItIsWritableAgain) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a user whom permissions bind";
  // As its owner (not root, whom no permission stops): a store opened while
  // it had no write permission leaves side files of that mode behind.
  const std::string own = folder_ + "/own", store = own + "/local.sqlite";
  ASSERT_EQ(mkdir(own.c_str(), 0755), 0);
  ASSERT_EQ(chown(own.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(InChild(AsNobody,
                    [&] {
                      std::string report;
                      // The first time, there is no store yet.
                      for (mode_t mode : {0600, 0400, 0600}) {
                        chmod(store.c_str(), mode);
                        report += " [" + MakeStore(store) + "]";
                      }
                      return report;
                    }),
            " [] [error 5] []");
}

// ---------------------------------------------------------------------------
// Stores nobody can write

class UnwritableStore : public StoreAccess {};

TEST_F(UnwritableStore, OnAReadOnlyMountEveryReadWorksAndEveryWriteGives5) {
  const std::string kept = Report(read_only_, Via::kService);
  SKIP_IF_ASKED(kept);
  EXPECT_EQ(kept, kReadOnlyResults);
  EXPECT_EQ(Report(read_only_, Via::kMachineTable), kReadOnlyResults);
  RemoveSideFiles();  // a copy made without its side files
  EXPECT_EQ(Report(read_only_, Via::kService), kReadOnlyResults);

  // A writer that ended without closing (killed): its change, only in the
  // log, is read.
  const pid_t writer = StartWriter();
  ASSERT_GT(writer, 0);
  Stop(writer);
  ASSERT_GT(std::filesystem::file_size(store_ + "-wal"), 0u);
  EXPECT_EQ(Report(read_only_, Via::kStoreFile), "0:new read-only");
  // Without its index the log cannot be read, and it is not ignored.
  ASSERT_EQ(unlink((store_ + "-shm").c_str()), 0);
  EXPECT_THAT(Report(read_only_, Via::kStoreFile),
              HasSubstr("-shm, which is missing and cannot be created in " + dir_ +
                        " (Read-only file system); its log holds changes not yet in the store"));
}

TEST_F(UnwritableStore, InAnImmutableFolderItIsWritableOnlyThroughSideFilesThatExist) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to set the immutable attribute";
  if (!SetImmutable(dir_, true)) {
    GTEST_SKIP() << "the immutable attribute cannot be set here: " << std::strerror(errno);
  }
  // Its side files exist: their owner may still write through them, and so
  // may this process (root).
  EXPECT_EQ(ReadDirect(store_), "0:kept");
  EXPECT_EQ(MakeStore(store_, "written"), "");
  EXPECT_EQ(MakeStore(store_), "");
  // Without them, none can be made that a writer could use.
  ASSERT_TRUE(SetImmutable(dir_, false));
  RemoveSideFiles();
  ASSERT_TRUE(SetImmutable(dir_, true));
  EXPECT_EQ(ReadDirect(store_), "0:kept read-only");
  EXPECT_EQ(ReadAndWrite(Via::kService, store_), kReadOnlyResults);
  // An immutable store file, with its side files.
  ASSERT_TRUE(SetImmutable(dir_, false));
  ASSERT_EQ(MakeStore(store_), "");
  ASSERT_TRUE(SetImmutable(store_, true));
  EXPECT_EQ(ReadAndWrite(Via::kService, store_), kReadOnlyResults);
}

// ---------------------------------------------------------------------------
// A full disk

using FullDisk = StoreAccess;

TEST_F(FullDisk, AWriteThatCannotGrowAFileGives112AndReadsGoOn) {
  // 32 KiB: the -shm index fits, the 64 KiB value written does not.
  EXPECT_EQ(Report(FileSizeLimit(32 * 1024), Via::kService),
            "read=0:kept set=112 create=0 delete=0 read=2:");
}

TEST_F(FullDisk, WithoutRoomForTheIndexReadsWorkAndEveryWriteGives112) {
  // No file may grow at all: the -shm index cannot be given its 32 KiB; nor
  // when another program removed the side files.
  EXPECT_EQ(Report(FileSizeLimit(1), Via::kService), kFullDiskResults);
  RemoveSideFiles();
  for (Via via : {Via::kService, Via::kMachineTable}) {
    EXPECT_EQ(Report(FileSizeLimit(1), via), kFullDiskResults);
  }
}

TEST_F(FullDisk, QvrRegReadsAndSaysTheDiskIsFull) {
  const std::string program = testing::BuildOutput("tools/qvr-reg/qvr-reg");
  const std::string report = InChild(FileSizeLimit(1), [&] {
    setenv("QVR_REGISTRY", store_.c_str(), 1);
    const auto query = testing::RunProgram(program, {"query", "HKLM\\SOFTWARE\\Access"});
    const auto add =
        testing::RunProgram(program, {"add", "HKLM\\SOFTWARE\\Access", "/v", "w", "/d", "x", "/f"});
    const bool kept = query.out.find("kept") != std::string::npos;
    return "query=" + std::to_string(query.exit_code) + (kept ? " kept" : " [" + query.err + "]") +
           " add=" + std::to_string(add.exit_code) + " " + add.out + add.err;
  });
  EXPECT_THAT(report, AllOf(StartsWith("query=0 kept add=1 "),
                            HasSubstr("There is not enough space on the disk.")));
}

TEST_F(FullDisk, OnAFilledFileSystemReadsWorkAndWritesGive112) {
  const std::string small = folder_ + "/small", store = small + "/local.sqlite";
  ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
  const std::string report = InChild(Mounted(small, true), [&] {
    if (std::string failed = MakeStore(store); !failed.empty()) return "cannot make: " + failed;
    // Filled to the last byte.
    const int fd = ::open((small + "/filler").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0 || write(fd, block.data(), 1) > 0) continue;
    const int why = errno;
    ::close(fd);
    if (why != ENOSPC) return std::string("filling stopped with ") + std::strerror(why);
    const std::string full = ReadAndWrite(Via::kService, store);
    unlink((store + "-wal").c_str());
    unlink((store + "-shm").c_str());
    return full + " | " + ReadAndWrite(Via::kService, store);
  });
  SKIP_IF_ASKED(report);
  EXPECT_EQ(report, std::string(kFullDiskResults) + " | " + kFullDiskResults);
}

}  // namespace
}  // namespace qvr
