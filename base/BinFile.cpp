#include "base/BinFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------------
// TBinFile

TBinFile::~TBinFile() { Close(); }

bool TBinFile::CreateNew(const std::string& path) {
  Close();
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  fd_ = fd;
  name_ = path;
  return true;
}

bool TBinFile::OpenExisting(const std::string& path) {
  Close();
  int fd;
  // Without blocking: opening a FIFO would otherwise wait for a writer.
  do fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  name_ = path;
  return true;
}

size_t TBinFile::ReadBytes(void* buffer, size_t n) {
  if (fd_ < 0) return 0;
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(fd_, p + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  return done;
}

size_t TBinFile::WriteBytes(const void* buffer, size_t n) {
  if (fd_ < 0) return 0;
  auto* p = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::write(fd_, p + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  return done;
}

bool TBinFile::Close() {
  if (fd_ < 0) return false;
  int r = ::close(fd_);
  fd_ = -1;
  return r == 0;
}

uint64_t TBinFile::Remaining() const {
  if (fd_ < 0) return 0;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return 0;
  off_t pos = ::lseek(fd_, 0, SEEK_CUR);
  if (pos < 0 || pos > st.st_size) return 0;
  return static_cast<uint64_t>(st.st_size - pos);
}

size_t TStringFile::WriteLine(const std::string& text) {
  std::string line = text;
  line += "\r\n";
  return WriteBytes(line.data(), line.size());
}
