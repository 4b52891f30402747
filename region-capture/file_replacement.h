// Writes a file so that readers see either the old file or the whole new one: the bytes go to a
// temporary file beside the target, which is renamed over it once complete. A replaced file keeps
// its permission bits; a new one gets 0666 less the umask.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "orvel/common/expected.h"

namespace orvel::region {

enum class FileWriteFailure {
  // The target's folder cannot take a new file or one of that name, or the target is a folder.
  CannotCreate,
  // Writing or renaming failed; nothing was left behind.
  CannotWrite,
};

Expected<void, FileWriteFailure> replaceFile(const std::string& path,
                                             std::span<const std::uint8_t> bytes);

}  // namespace orvel::region
