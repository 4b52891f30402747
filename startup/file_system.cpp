#include "startup/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "startup/startup_messages.h"

namespace orvel::startup {
namespace {

// 0 when the folder exists afterwards, otherwise the errno of the failing step.
int createFolder(const std::filesystem::path& folder) {
  if (mkdir(folder.c_str(), 0700) == 0) return 0;
  int error = errno;
  if (error == ENOENT && folder.parent_path() != folder) {
    if (const int parentError = createFolder(folder.parent_path()); parentError != 0) {
      return parentError;
    }
    if (mkdir(folder.c_str(), 0700) == 0) return 0;
    error = errno;
  }
  if (error != EEXIST) return error;
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return errno;
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

bool writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = write(fd, contents.data(), contents.size());
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = EIO;
    if (written <= 0) return false;
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

EntryFile readEntryFile(const std::filesystem::path& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return {
        errno == ENOENT || errno == ENOTDIR ? EntryFile::Kind::Missing : EntryFile::Kind::Foreign,
        {}};
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return {EntryFile::Kind::Foreign, {}};
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count == 0) break;
    if (count < 0 || text.size() + static_cast<std::size_t>(count) > kMaxEntryBytes) {
      close(fd);
      return {EntryFile::Kind::Foreign, {}};
    }
    text.append(buffer, static_cast<std::size_t>(count));
  }
  close(fd);
  return {EntryFile::Kind::Text, std::move(text)};
}

std::optional<platform::LoginItemError> makeFolders(const std::filesystem::path& folder) {
  if (const int error = createFolder(folder); error != 0) {
    return platform::LoginItemError{cannotCreateFolder(folder, error)};
  }
  return std::nullopt;
}

std::optional<platform::LoginItemError> replaceFile(const std::filesystem::path& file,
                                                    std::string_view contents) {
  // A hidden name without the ".desktop" suffix, so no session ever reads a leftover.
  const std::string pattern =
      (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  std::vector<char> temporary(pattern.begin(), pattern.end());
  temporary.push_back('\0');

  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return platform::LoginItemError{cannotWrite(file, errno)};
  int error = 0;
  if (!writeAll(fd, contents) || fchmod(fd, 0644) != 0 || fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.data(), file.c_str()) != 0) error = errno;
  if (error == 0) return std::nullopt;
  unlink(temporary.data());
  return platform::LoginItemError{cannotWrite(file, error)};
}

std::optional<platform::LoginItemError> removeFile(const std::filesystem::path& file) {
  if (unlink(file.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) return std::nullopt;
  return platform::LoginItemError{cannotRemove(file, errno)};
}

}  // namespace orvel::startup
