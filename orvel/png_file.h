// PNG encoding of premultiplied BGRA pictures (the helpers' frame format) to a file. Any thread; no
// shared state.
#pragma once

#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/image.h"

namespace orvel::cli {

// Writes `picture` to `path`, replacing it; the failure names the path.
Expected<void, Failure> writePngFile(const ImageView& picture, const std::string& path);

}  // namespace orvel::cli
