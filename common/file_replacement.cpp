#include "orvel/common/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace orvel {

namespace {

using Step = FileReplacementError::Step;

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

// Creates a new, hidden file beside the target; -1 with errno when the folder does not take one.
// Its name has a fixed length, so it fits wherever the target's name does.
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
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

Unexpected<FileReplacementError> failed(Step step, int error) {
  return unexpected(FileReplacementError{step, error});
}

}  // namespace

Expected<void, FileReplacementError> replaceFile(const std::string& path,
                                                 std::span<const std::uint8_t> bytes,
                                                 const FileReplacementOptions& options) {
  const std::string name = fileNameOf(path);
  // A NUL would end the name early and write another file.
  if (name.empty() || name == "." || name == ".." || path.find('\0') != std::string::npos)
    return failed(Step::Create, EINVAL);
  struct stat own;
  const bool exists = ::lstat(path.c_str(), &own) == 0;
  if (exists && !S_ISREG(own.st_mode) && !S_ISLNK(own.st_mode) &&
      (S_ISDIR(own.st_mode) || !options.replaceSpecialFiles)) {
    return failed(Step::Create, S_ISDIR(own.st_mode) ? EISDIR : EEXIST);
  }
  // A link's target decides the permission bits it hands on, as before.
  struct stat st;
  const bool replacing = ::stat(path.c_str(), &st) == 0;
  if (replacing && S_ISDIR(st.st_mode)) return failed(Step::Create, EISDIR);
  std::string tempPath;
  const int fd = createTemporary(path, tempPath);
  if (fd < 0) return failed(Step::Create, errno);
  // Special bits are never carried over to new contents.
  int error = 0;
  if (options.mode || replacing) {
    const mode_t mode = options.mode ? *options.mode : (st.st_mode & 0777);
    if (::fchmod(fd, mode) != 0) error = errno;
  }
  if (error == 0 && !writeAll(fd, bytes)) error = errno;
  if (error == 0 && options.sync && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
  if (error == 0) return {};
  ::unlink(tempPath.c_str());
  return failed(error == ENAMETOOLONG ? Step::Create : Step::Write, error);
}

}  // namespace orvel
