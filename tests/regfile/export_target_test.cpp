// Where an export lands: a file is replaced whole with its permission bits
// kept, a symbolic link is written through, and a target that is not a
// regular file is refused and left as it is.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "regfile/reg_file_exporter.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ExportTarget : public ::testing::Test {
 protected:
  Status Export(const std::string& path) {
    return RegFileExporter(reg_.Service()).ExportFile("HKCU\\Environment", path);
  }
  testing::TempRegistry reg_;
};

TEST_F(ExportTarget, TargetsThatAreNotRegularFilesAreRefusedAndLeftAsTheyAre) {
  const std::string fifo = reg_.Dir() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/null"), fifo, reg_.Dir()}) {
    SCOPED_TRACE(path);
    struct stat before {}, after {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    Status refused = Export(path);
    EXPECT_NE(refused.message().find("not a regular file"), std::string::npos) << refused.ToString();
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(std::pair(after.st_mode, after.st_ino), std::pair(before.st_mode, before.st_ino));
  }
}

TEST_F(ExportTarget, AFileKeepsItsModeAndALinkIsWrittenThrough) {
  const std::string dir = reg_.Dir();
  std::filesystem::create_directory(dir + "/real");
  const std::string file = dir + "/real/private.reg";
  std::ofstream(file) << "old";
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real/private.reg", (dir + "/link.reg").c_str()), 0);

  for (const std::string& path : {file, dir + "/link.reg"}) {
    SCOPED_TRACE(path);
    std::ofstream(file) << "old";
    ASSERT_TRUE(testing::IsOk(Export(path)));
    EXPECT_EQ(Read(file).substr(0, 2), "\xFF\xFE");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(lstat((dir + "/link.reg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // No temporary file is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir + "/real"), {}), 1);
  }
}

}  // namespace
}  // namespace qvr
