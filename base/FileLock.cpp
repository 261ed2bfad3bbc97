#include "base/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

TFileLock::TFileLock(TFileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      error_(other.error_),
      path_(std::move(other.path_)),
      real_(std::move(other.real_)) {}

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    error_ = other.error_;
    path_ = std::move(other.path_);
    real_ = std::move(other.real_);
  }
  return *this;
}

TFileLock::TResult TFileLock::Take(const std::string& path, TOpen open, std::string* errorText) {
  Release();
  auto failed = [&](int e) {
    error_ = e;
    if (errorText) *errorText = "'" + path + "': " + std::strerror(e);
    return TResult::Failed;
  };
  // A file that is there is only held, read and perhaps removed: reading it is enough.
  const int flags = open == TOpen::Existing ? O_RDONLY | O_NONBLOCK
                                            : O_RDWR | O_CREAT | (open == TOpen::Create ? O_NOFOLLOW : O_EXCL);
  // A few rounds: the file may be removed and made again by its holder while we look.
  for (int round = 0; round < 8; ++round) {
    int fd;
    do fd = ::open(path.c_str(), O_CLOEXEC | flags, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return failed(errno);
    struct stat opened {}, named {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      return failed(EINVAL);
    }
    int r;
    do r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
      const int e = errno;
      ::close(fd);
      if (e != EWOULDBLOCK) return failed(e);
      error_ = 0;
      return TResult::Busy;
    }
    // Still the file the path names: otherwise its holder removed it after we opened it.
    if (::stat(path.c_str(), &named) == 0 && SameFile(opened, named)) {
      fd_ = fd;
      error_ = 0;
      path_ = path;
      char* real = ::realpath(path.c_str(), nullptr);
      real_ = real ? real : path;
      std::free(real);
      return TResult::Taken;
    }
    ::close(fd);
    if (open != TOpen::Create) return failed(ENOENT);
  }
  error_ = 0;
  return TResult::Busy;
}

bool TFileLock::WriteOwner() const {
  if (fd_ < 0) return false;
  const std::string text = std::to_string(static_cast<long>(::getpid())) + "\n";
  return ::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

long TFileLock::Owner(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return 0;
  char buf[32] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  ::close(fd);
  if (n <= 0) return 0;
  char* end = nullptr;
  const long pid = std::strtol(buf, &end, 10);
  return pid > 0 && (*end == '\n' || *end == '\0') ? pid : 0;
}

bool TFileLock::Remove() {
  if (fd_ < 0) return false;
  struct stat opened {}, named {};
  bool removed = false;
  if (::fstat(fd_, &opened) == 0 && ::lstat(real_.c_str(), &named) == 0 && SameFile(opened, named))
    removed = ::unlink(real_.c_str()) == 0;
  Release();
  return removed;
}

void TFileLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
