#include "regfile/reg_byte_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qvr {
namespace {

class FileInput : public RegByteInput {
 public:
  explicit FileInput(int fd) : fd_(fd) {}
  ~FileInput() override { ::close(fd_); }
  int64_t Read(char* buffer, size_t size) override {
    while (true) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
};

class MemoryInput : public RegByteInput {
 public:
  explicit MemoryInput(std::string_view bytes) : rest_(bytes) {}
  int64_t Read(char* buffer, size_t size) override {
    size_t n = std::min(size, rest_.size());
    std::memcpy(buffer, rest_.data(), n);
    rest_.remove_prefix(n);
    return static_cast<int64_t>(n);
  }

 private:
  std::string_view rest_;
};

}  // namespace

Status RegByteInput::OpenFile(const std::string& path, std::unique_ptr<RegByteInput>* input) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::IOError("cannot open " + path + ": " + std::strerror(errno));
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::IOError(path + " is not a regular file");
  }
  *input = std::make_unique<FileInput>(fd);
  return Status::OK();
}

std::unique_ptr<RegByteInput> RegByteInput::FromMemory(std::string_view bytes) {
  return std::make_unique<MemoryInput>(bytes);
}

}  // namespace qvr
