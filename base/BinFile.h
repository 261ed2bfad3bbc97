#pragma once
// Unbuffered binary files and the text-file writer over them.
#include <cstddef>
#include <cstdint>
#include <string>

class TBinFile {
 public:
  TBinFile() = default;
  virtual ~TBinFile();
  TBinFile(const TBinFile&) = delete;
  TBinFile& operator=(const TBinFile&) = delete;

  // Creates the file, or truncates an existing one, for writing only.
  bool CreateNew(const std::string& path);
  // Opens an existing file for reading only.
  bool OpenExisting(const std::string& path);
  // Bytes actually read: fewer than n only at the end of the file or on an error.
  size_t ReadBytes(void* buffer, size_t n);
  // Bytes actually written.
  size_t WriteBytes(const void* buffer, size_t n);
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& FileName() const { return name_; }
  // Bytes left between the read position and the end of the file (0 when unknown).
  uint64_t Remaining() const;

 private:
  int fd_ = -1;
  std::string name_;
};

class TStringFile : public TBinFile {
 public:
  // Writes the text followed by CR LF in one write; the bytes written.
  size_t WriteLine(const std::string& text);
};
