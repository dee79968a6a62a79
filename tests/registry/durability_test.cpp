// Durability of the store across processes: a writer killed with SIGKILL
// loses none of the writes it had acknowledged, processes writing to one
// store at once lose nothing, and a first use killed at any point leaves
// either no store or a whole one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "registry/store_file.h"
#include "support/run_program.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

// A running platform_store_writer whose acknowledgements can be read.
class Writer {
 public:
  Writer(const std::string& store, const std::string& label, int count) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    const std::string program = testing::BuildOutput("tests/registry/registry_store_writer");
    const std::string count_text = std::to_string(count);
    if ((pid_ = fork()) == 0) {
      dup2(out[1], 1);
      close(out[0]);
      execl(program.c_str(), program.c_str(), store.c_str(), label.c_str(), count_text.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    acks_ = fdopen(out[0], "r");
  }
  ~Writer() {
    if (pid_ > 0) Kill(), Wait();
    if (acks_) fclose(acks_);
  }
  // The next line the writer printed; "" at its end.
  std::string NextLine() {
    char line[256];
    if (fgets(line, sizeof line, acks_) == nullptr) return "";
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  void Kill() { kill(pid_, SIGKILL); }
  // The raw wait status.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  FILE* acks_ = nullptr;
};

// The DWORD value `name` of `path` below `root` (HKLM unless named), or -1.
int64_t ReadDword(RegistryService& service, const std::string& path, const std::string& name,
                  HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key = 0;
  if (service.OpenKey(root, path.c_str(), &key) != ERROR_SUCCESS) return -1;
  uint32_t data = 0;
  DWORD size = sizeof data, type = 0;
  LONG rc = service.QueryValue(key, name.c_str(), &type, reinterpret_cast<BYTE*>(&data), &size);
  service.CloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD ? data : -1;
}

// True when the store holds the first key and the last value that seeding writes.
bool FullySeeded(RegistryService& service) {
  HKEY key = 0;
  if (service.OpenKey(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System", &key) != ERROR_SUCCESS) {
    return false;
  }
  service.CloseKey(key);
  return ReadDword(service, "Control Panel\\Desktop", "ScreenSaveActive", HKEY_CURRENT_USER) == 1;
}

TEST(DurabilityTest, AKilledFirstUseLeavesNoStoreOrAWholeOneAndItsTemporaryFileGoes) {
  testing::TempRegistry temp;
  auto temporaries = [](const std::string& store) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(store.substr(0, store.rfind('/')))) {
      std::string name = entry.path().filename().string();
      if (name.starts_with(TempStoreFilePrefix(store))) names.push_back(name);
    }
    return names;
  };
  auto fresh_store = [&](const std::string& name) {
    std::filesystem::create_directory(temp.Dir() + "/" + name);
    return temp.Dir() + "/" + name + "/local.sqlite";
  };
  // How long a first use takes unhurried (the quickest of three), from
  // "opening" to "opened"; the kills fall anywhere in that span and a little
  // beyond.
  auto span = std::chrono::microseconds::max();
  for (int i = 0; i < 3; ++i) {
    Writer calibration(fresh_store("calibration" + std::to_string(i)), "-", -1);
    ASSERT_EQ(calibration.NextLine(), "opening");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(calibration.NextLine(), "opened");
    span = std::min(span, std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start));
  }
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int64_t> delay(0, span.count() * 5 / 4);
  constexpr int kKills = 50;
  int lost = 0, before_link = 0, left_temporary = 0;
  for (int i = 0; i < kKills; ++i) {
    const std::string store = fresh_store("kill" + std::to_string(i));
    // A temporary file of a process that still runs (this one) is kept.
    const std::string live = TempStoreFilePrefix(store) + std::to_string(getpid()) + "-live00";
    std::ofstream{store.substr(0, store.rfind('/') + 1) + live};
    {
      Writer writer(store, "-", -1);  // killed and reaped when it goes
      ASSERT_EQ(writer.NextLine(), "opening");
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    }
    // The store as the kill left it, looked at without making or seeding it.
    std::unique_ptr<SqliteStore> as_left;
    const bool linked = access(store.c_str(), F_OK) == 0;
    before_link += !linked;
    bool whole_or_none = !linked || SqliteStore::Open(store, false, &as_left).ok();
    if (linked && whole_or_none) {
      as_left->MakeReadOnly();
      RegistryService view{std::shared_ptr<RegistryStore>(std::move(as_left))};
      whole_or_none = FullySeeded(view);
    }
    const size_t left = temporaries(store).size() - 1;
    left_temporary += left > 0;
    std::shared_ptr<RegistryService> reopened;
    const bool whole = RegistryService::Open(store, "", &reopened).ok() && FullySeeded(*reopened);
    if (!whole_or_none || left > 1 || !whole || temporaries(store) != std::vector<std::string>{live}) ++lost;
  }
  std::printf("first use (%lld us) killed %d times (%d before the store was in place, %d "
              "leaving a temporary file): %d lost anything\n",
              static_cast<long long>(span.count()), kKills, before_link, left_temporary, lost);
  EXPECT_EQ(lost, 0);
}

// The writers' keys in the store itself, or in a hive loaded into it.
class WrittenDurabilityTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      HKEY empty = 0;
      const std::string hive = temp_.Dir() + "/hive.dat";
      ASSERT_EQ(temp_.Service().CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Empty", KEY_ALL_ACCESS, &empty, nullptr), 0);
      ASSERT_TRUE(testing::IsOk(temp_.Service().SaveKey(empty, hive.c_str(), false)));
      temp_.Service().CloseKey(empty);
      ASSERT_TRUE(testing::IsOk(temp_.Service().LoadKey(HKEY_LOCAL_MACHINE, "Hive", hive.c_str())));
    }
    root_ = GetParam() ? "Hive\\Durability" : "SOFTWARE\\Durability";
    setenv("QVR_WRITER_ROOT", root_.c_str(), 1);
  }
  void TearDown() override { unsetenv("QVR_WRITER_ROOT"); }
  std::string Shared(int i) const { return root_ + "\\Shared\\K" + std::to_string(i % 8); }
  std::string Own(const std::string& label) const { return root_ + "\\" + label; }

  testing::TempRegistry temp_;
  std::string root_;
};

INSTANTIATE_TEST_SUITE_P(StoreAndHive, WrittenDurabilityTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Hive" : "Store"; });

TEST_P(WrittenDurabilityTest, AcknowledgedWritesSurviveSigkill) {
  const std::string store = temp_.LocalStorePath();
  Writer writer(store, "Killed", 0);
  int acknowledged = -1;
  while (acknowledged < 150) {
    std::string line = writer.NextLine();
    ASSERT_FALSE(line.empty() || line.starts_with("error")) << line;
    acknowledged = std::stoi(line);
  }
  writer.Kill();
  const int status = writer.Wait();
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);

  std::shared_ptr<RegistryService> reopened;  // a new process's view
  ASSERT_TRUE(testing::IsOk(RegistryService::Open(store, "", &reopened)));
  for (int i = 0; i <= acknowledged; ++i) {
    ASSERT_EQ(ReadDword(*reopened, Own("Killed"), "v" + std::to_string(i)), i);
    ASSERT_EQ(ReadDword(*reopened, Shared(i), "Killed-" + std::to_string(i)), i);
  }
  // The store is still sound and writable.
  HKEY key = 0;
  ASSERT_EQ(reopened->CreateKey(HKEY_LOCAL_MACHINE, GetParam() ? "Hive\\After" : "SOFTWARE\\After", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  reopened->CloseKey(key);
}

TEST_P(WrittenDurabilityTest, ProcessesWritingAtOnceLoseNothing) {
  const std::string store = temp_.LocalStorePath();
  constexpr int kCount = 120;
  std::vector<std::unique_ptr<Writer>> writers;
  for (const char* label : {"A", "B", "C"}) writers.push_back(std::make_unique<Writer>(store, label, kCount));
  // This process writes to the shared keys meanwhile, through its own service.
  for (uint32_t i = 0; i < kCount; ++i) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, Shared(i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, ("P-" + std::to_string(i)).c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&i), 4), 0);
    RegCloseKey(key);
  }
  for (auto& writer : writers) {
    std::string last, line;
    while (!(line = writer->NextLine()).empty()) last = line;
    const int status = writer->Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << last;
    EXPECT_EQ(last, std::to_string(kCount - 1));
  }
  std::shared_ptr<RegistryService> reopened;
  ASSERT_TRUE(testing::IsOk(RegistryService::Open(store, "", &reopened)));
  for (int i = 0; i < kCount; ++i) {
    const std::string n = std::to_string(i);
    for (std::string label : {"A", "B", "C"}) {
      ASSERT_EQ(ReadDword(*reopened, Own(label), "v" + n), i);
      ASSERT_EQ(ReadDword(*reopened, Shared(i), label + "-" + n), i);
    }
    ASSERT_EQ(ReadDword(*reopened, Shared(i), "P-" + n), i);
  }
  // Eight shared keys, each created once although every writer created it.
  HKEY shared = 0;
  ASSERT_EQ(reopened->OpenKey(HKEY_LOCAL_MACHINE, (root_ + "\\Shared").c_str(), &shared), ERROR_SUCCESS);
  char name[64];
  for (DWORD index : {7, 8}) {
    DWORD length = sizeof name;
    EXPECT_EQ(reopened->EnumKey(shared, index, name, &length), index == 7 ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS);
  }
  reopened->CloseKey(shared);
}

}  // namespace
}  // namespace qvr
