#include "base/AtomicSave.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kTempPrefix = ".revscope-save-";
constexpr const char* kTempSuffix = ".tmp";

// ".revscope-save-<pid>-<n>.tmp" and nothing else.
bool IsOurTempName(const std::string& name) {
  const size_t prefix = std::strlen(kTempPrefix), suffix = std::strlen(kTempSuffix);
  if (name.size() <= prefix + suffix || name.compare(0, prefix, kTempPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kTempSuffix) != 0)
    return false;
  std::string middle = name.substr(prefix, name.size() - prefix - suffix);
  size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == middle.size()) return false;
  for (size_t i = 0; i < middle.size(); ++i)
    if (i != dash && (middle[i] < '0' || middle[i] > '9')) return false;
  return true;
}

// A save killed while it wrote leaves its temporary file; the next save into the folder removes
// those over an hour old (a younger one may belong to a save still running in another program).
void RemoveStaleTempFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(dir)) {
    if (!IsOurTempName(e->d_name)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime > 3600) ::unlinkat(::dirfd(dir), e->d_name, 0);
  }
  ::closedir(dir);
}

std::string FolderOfPath(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

// A name in the folder that no other file has, reserved by creating it empty.
std::string ReserveTempFile(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string tmp = folder + "/" + kTempPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++) + kTempSuffix;
    int fd;
    do fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      ::close(fd);
      return tmp;
    }
    if (errno != EEXIST) return {};
  }
  errno = EEXIST;
  return {};
}

bool SyncPath(const std::string& path, bool directory) {
  int fd = ::open(path.c_str(), (directory ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// The file a save replaces: a symbolic link is followed so the link itself stays in place.
std::string SaveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::error_code ec;
    auto resolved = std::filesystem::weakly_canonical(path, ec);
    if (!ec) return resolved.string();
  }
  return path;
}

bool WriteAll(const std::string& path, const std::string& text) {
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      int e = w == 0 ? EIO : errno;
      ::close(fd);
      errno = e;
      return false;
    }
    done += static_cast<size_t>(w);
  }
  return ::close(fd) == 0;
}
}  // namespace

bool AtomicSave(const std::string& path, const std::function<bool(const std::string&)>& write,
                std::string* errorText) {
  auto fail = [&](const char* what) {
    if (errorText) *errorText = std::string(what) + ": " + std::strerror(errno ? errno : EIO);
    return false;
  };
  const std::string target = SaveTarget(path);
  const std::string folder = FolderOfPath(target);
  RemoveStaleTempFiles(folder);
  const std::string tmp = ReserveTempFile(folder);
  if (tmp.empty()) return fail("cannot create a temporary file");
  // An existing file keeps its permissions.
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::chmod(tmp.c_str(), st.st_mode & 07777);

  errno = 0;
  const char* failure = nullptr;
  bool written;
  try {
    written = write(tmp);
  } catch (...) {
    // Out of memory while writing, or any other escape: no temporary file stays behind.
    ::unlink(tmp.c_str());
    throw;
  }
  if (!written)
    failure = "cannot write";
  else if (!SyncPath(tmp, false))
    failure = "cannot write";
  else if (::rename(tmp.c_str(), target.c_str()) != 0)
    failure = "cannot replace the file";
  if (failure) {
    int e = errno;
    ::unlink(tmp.c_str());
    errno = e;
    return fail(failure);
  }
  SyncPath(folder, true);
  return true;
}

bool CheckSaveTarget(const std::string& path, std::string* errorText) {
  auto fail = [&](const std::string& what, int e) {
    if (errorText) *errorText = "'" + path + "'" + what + ": " + std::strerror(e);
    return false;
  };
  if (path.empty()) return fail("", ENOENT);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return fail("", EISDIR);
  const std::string folder = FolderOfPath(SaveTarget(path));
  if (::stat(folder.c_str(), &st) != 0) return fail("", errno);
  if (!S_ISDIR(st.st_mode)) return fail("", ENOTDIR);
  // Whether the folder takes a new file is best learnt by making one (permissions, a read-only
  // file system, a full disk of inodes).
  const std::string probe = ReserveTempFile(folder);
  if (probe.empty()) return fail("", errno ? errno : EACCES);
  ::unlink(probe.c_str());
  return true;
}

bool AtomicSaveText(const std::string& path, const std::string& text, std::string* errorText) {
  return AtomicSave(path, [&](const std::string& tmp) { return WriteAll(tmp, text); }, errorText);
}
