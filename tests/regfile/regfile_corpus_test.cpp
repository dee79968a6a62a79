// Replays the fuzzers' regression corpus (inputs that once found a fault, and
// a sample of what the fuzzers found interesting) through the readers and
// the importer with the fuzz targets' own checks: no crash, everything read
// survives the writer and the reader again, a failed import changes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/fuzz_checks.h"
#include "regfile/wine_reg_parser.h"
#include "reg_collect_sink.h"

namespace qvr {
namespace {

std::vector<std::filesystem::path> Files(const char* folder) {
  std::vector<std::filesystem::path> out;
  for (auto& e : std::filesystem::directory_iterator(std::string(QVR_REGFILE_CORPUS) + "/" + folder)) {
    out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

template <typename Parser>
void Replay(const char* folder, bool is_reg) {
  auto files = Files(folder);
  ASSERT_GE(files.size(), 10u);
  int read_cleanly = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    std::string bytes = testing::ReadFile(path);
    RegTextSource source(RegByteInput::FromMemory(bytes), 1 << 16);
    fuzz::CollectSink sink;
    Parser parser;
    Status status;
    ASSERT_NO_THROW(status = parser.Parse(source, sink));
    EXPECT_TRUE(status.ok() || !status.message().empty());
    read_cleanly += status.ok();
    for (const fuzz::Item& item : sink.items) {
      EXPECT_NO_THROW(fuzz::RoundTrip(item, RegFileWriter::Dialect::kRegedit5));
      if (is_reg) {
        EXPECT_NO_THROW(fuzz::RoundTrip(item, RegFileWriter::Dialect::kRegedit4));
      }
    }
    if (is_reg) {
      EXPECT_NO_THROW(fuzz::CheckImport(bytes));
    }
  }
  // The corpus holds good files as well as bad ones.
  EXPECT_GT(read_cleanly, 0);
}

TEST(RegfileCorpus, RegFilesReplayCleanly) { Replay<RegFileParser>("reg", true); }
TEST(RegfileCorpus, WineFilesReplayCleanly) { Replay<WineRegParser>("wine", false); }

}  // namespace
}  // namespace qvr
