#pragma once

#include <string>

namespace orvel::ocr {

// A failure during recognition. Only the message leaves the helper; the code tells the helper's own
// failures apart from the engine's.
struct OcrError {
  enum class Code { recognizer = 0, language = 1, image = 2 };
  Code code = Code::recognizer;
  std::string message;
};

}  // namespace orvel::ocr
