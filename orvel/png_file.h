// PNG encoding of premultiplied BGRA pictures (the helpers' frame format), to a file or to an open
// descriptor (a pipe). Any thread; no shared state.
#pragma once

#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/image.h"

namespace orvel::cli {

// Writes `picture` to `path`, replacing it; the failure names the path.
Expected<void, Failure> writePngFile(const ImageView& picture, const std::string& path);
// Writes `picture` to the descriptor `fd`, which stays open.
Expected<void, Failure> writePngTo(const ImageView& picture, int fd);

}  // namespace orvel::cli
