#pragma once
// An exclusive lock (flock) on a file, held until it is released or the object goes. Taking it
// makes sure that the path still names the file that was locked, so a file another process
// deleted while this one waited to open it is never taken for held; removing it unlinks the file
// while the lock is still held, so no other process can have taken it over in between.
#include <string>

class TFileLock {
 public:
  TFileLock() = default;
  ~TFileLock() { Release(); }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  TFileLock(TFileLock&& other) noexcept;
  TFileLock& operator=(TFileLock&& other) noexcept;

  enum class TResult { Taken, Busy, Failed };
  // How the file is opened: one that is there, one made when missing, or a new one (a file of
  // that name already there fails with EEXIST). Files this program makes are never reached
  // through a link someone put in their place.
  enum class TOpen { Existing, Create, New };
  // Opens path (for reading only when it is an existing file, for reading and writing when it is
  // made) and takes the lock without waiting. Busy: another open
  // file holds it. Failed: the file cannot be opened or is no regular file; errorText gets the
  // path and the system's reason, Error() the error number.
  TResult Take(const std::string& path, TOpen open, std::string* errorText = nullptr);
  bool Held() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  int Error() const { return error_; }
  // The path the file was taken by.
  const std::string& Path() const { return path_; }

  // Writes this process's id into the file, for whoever finds it busy (see Owner).
  bool WriteOwner() const;
  // The process id a holder wrote into the file at path, or 0.
  static long Owner(const std::string& path);

  // Unlinks the file, if the path still names it, then lets go. False when it could not be removed.
  bool Remove();
  void Release();

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  std::string real_;  // the file's own path, a link that led to it resolved: what Remove unlinks
};
