// Writes a file so that readers see either the old file or the whole new one: the bytes go to a
// hidden temporary file beside the target, which is renamed over it once complete. A failure
// leaves the target as it was and no temporary behind.
//
// What is replaced: a missing name or a regular file. A symbolic link is replaced itself, never
// written through. A folder is refused; so is a FIFO, socket or device unless the caller owns the
// name whatever sits there: renaming over one would destroy what the name stands for.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "orvel/common/expected.h"

namespace orvel {

struct FileReplacementOptions {
  // The new file's permission bits; none: a replaced file keeps its own (a private picture stays
  // private), a new one gets 0666 less the umask.
  std::optional<mode_t> mode;
  // Flush the contents to the disk before the rename, for files whose loss after a crash would
  // surprise the user more than the wait for the disk.
  bool sync = false;
  // Replace a FIFO, socket or device at the name too, for a name that only the caller writes.
  bool replaceSpecialFiles = false;
};

struct FileReplacementError {
  enum class Step {
    // The name cannot take a new file: a missing or read-only folder, a name that is too long or
    // names no file, or something other than a file already there.
    Create,
    // Writing, flushing or renaming failed.
    Write,
  };
  Step step;
  int error;  // errno
};

Expected<void, FileReplacementError> replaceFile(const std::string& path,
                                                 std::span<const std::uint8_t> bytes,
                                                 const FileReplacementOptions& options = {});

}  // namespace orvel
