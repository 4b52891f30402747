#include "startup/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <span>

#include "orvel/common/file_replacement.h"
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
  // The temporary's hidden name has no ".desktop" suffix, so no session ever reads a leftover.
  // The entry's name is ours: whatever else sits there is replaced.
  const auto bytes = std::as_bytes(std::span(contents.data(), contents.size()));
  const auto written = orvel::replaceFile(
      file.string(), {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
      {.mode = 0644, .sync = true, .replaceSpecialFiles = true});
  if (written) return std::nullopt;
  return platform::LoginItemError{cannotWrite(file, written.error().error)};
}

std::optional<platform::LoginItemError> removeFile(const std::filesystem::path& file) {
  if (unlink(file.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) return std::nullopt;
  return platform::LoginItemError{cannotRemove(file, errno)};
}

}  // namespace orvel::startup
