// One run of the helper: the command line in, one output object and an exit status out.
//
//   languages                          list the recognition languages
//   recognize <image path> <language>  recognise the image's text; the language is "system" or an
//                                      identifier matched against the supported list
#pragma once

#include <string>
#include <vector>

#include "line.h"
#include "output.h"
#include "platform/text_recognizer.h"

namespace orvel::ocr {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitMalformed = 2;

struct RunResult {
  Output output;
  int exitStatus = kExitSuccess;
};

class TextRecognitionHelper {
 public:
  // The recognizer is created and configured by the caller and reused for every band. With more
  // than one engine, images are recognised in parts on up to that many engines at once; one engine
  // recognises each band whole.
  explicit TextRecognitionHelper(platform::TextRecognizer& recognizer, int engines = 1)
      : recognizer_(recognizer), engines_(engines) {}

  // `args` holds the command line, the program path first.
  RunResult run(const std::vector<std::string>& args);

 private:
  RunResult listLanguages(const std::vector<std::string>& supported);
  RunResult recognize(const std::vector<std::string>& supported, const std::string& path,
                      const std::string& language);
  platform::RecognizerResult<std::vector<Line>> recognizeBands(
      const platform::RecognitionImage& image);

  platform::TextRecognizer& recognizer_;
  int engines_;
};

}  // namespace orvel::ocr
