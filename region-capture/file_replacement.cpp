#include "file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Creates a new, hidden file beside the target; -1 when the folder does not take one.
int createTemporary(const std::string& path, std::string& tempPath) {
  std::random_device device;
  const std::string base = folderOf(path) + "/." + fileNameOf(path) + ".";
  for (int attempt = 0; attempt < 16; ++attempt) {
    tempPath = base + std::to_string(device()) + ".tmp";
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
  if (name.empty() || name == "." || name == "..")
    return unexpected(FileWriteFailure::CannotCreate);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return unexpected(FileWriteFailure::CannotCreate);
  }
  std::string tempPath;
  const int fd = createTemporary(path, tempPath);
  if (fd < 0) return unexpected(FileWriteFailure::CannotCreate);
  const bool written = writeAll(fd, bytes);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(tempPath.c_str(), path.c_str()) != 0) {
    ::unlink(tempPath.c_str());
    return unexpected(FileWriteFailure::CannotWrite);
  }
  return {};
}

}  // namespace orvel::region
