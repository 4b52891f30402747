// A fuzz input as an open file, for code that reads a descriptor.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace orvel::fuzz {

// A memory file holding `data`, positioned at its start; -1 when none can be made.
inline int memoryFileOf(const std::uint8_t* data, std::size_t size, const char* name) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) return -1;
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

// memoryFileOf's file, closed with this object.
class MemoryFile {
 public:
  MemoryFile(const std::uint8_t* data, std::size_t size, const char* name)
      : fd_(memoryFileOf(data, size, name)) {}
  ~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // -1 when no file could be made.
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace orvel::fuzz
