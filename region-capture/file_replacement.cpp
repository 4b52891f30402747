#include "file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace orvel::region {

namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a new, hidden file beside the target; -1 when the folder does not take one. Its name has
// a fixed length, so it fits wherever the target's name does.
int createTemporary(const std::string& path, std::string& tempPath) {
  std::random_device device;
  const std::string base = folderOf(path) + "/.orvel-";
  for (int attempt = 0; attempt < 16; ++attempt) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%08x%08x", device(), device());
    tempPath = base + digits + ".tmp";
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

Expected<void, FileWriteFailure> replaceFile(const std::string& path,
                                             std::span<const std::uint8_t> bytes) {
  const std::string name = fileNameOf(path);
  // A NUL would end the name early and write another file.
  if (name.empty() || name == "." || name == ".." || path.find('\0') != std::string::npos)
    return unexpected(FileWriteFailure::CannotCreate);
  struct stat st;
  const bool replacing = ::stat(path.c_str(), &st) == 0;
  if (replacing && S_ISDIR(st.st_mode)) return unexpected(FileWriteFailure::CannotCreate);
  std::string tempPath;
  const int fd = createTemporary(path, tempPath);
  if (fd < 0) return unexpected(FileWriteFailure::CannotCreate);
  // A replaced file keeps its permissions (a private 0600 picture stays private); special bits
  // are not carried over to new contents.
  const bool moded = !replacing || ::fchmod(fd, st.st_mode & 0777) == 0;
  const bool written = moded && writeAll(fd, bytes);
  const bool closed = ::close(fd) == 0;
  const bool renamed = written && closed && ::rename(tempPath.c_str(), path.c_str()) == 0;
  if (!renamed) {
    const bool nameTooLong = errno == ENAMETOOLONG;
    ::unlink(tempPath.c_str());
    return unexpected(nameTooLong ? FileWriteFailure::CannotCreate : FileWriteFailure::CannotWrite);
  }
  return {};
}

}  // namespace orvel::region
