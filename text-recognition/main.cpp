#include <leptonica/allheaders.h>
#include <malloc.h>
#if ORVEL_OCR_ENGINE_OPENMP
#include <omp.h>
#endif

#include <iostream>
#include <string>
#include <vector>

#include "tesseract_recognizer.h"
#include "text_recognition_helper.h"

namespace {

// Allocations from this size up get pages of their own: picture buffers are megabytes each, and
// mapping them separately hands them back to the system when a band is done instead of leaving a
// fragmented heap that grows band after band.
constexpr int kMapThreshold = 256 * 1024;

}  // namespace

int main(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, kMapThreshold);
  // The helper's only output is its JSON object; the image library's diagnostics go nowhere.
  setMsgSeverity(L_SEVERITY_NONE);
#if ORVEL_OCR_ENGINE_OPENMP
  // The distribution's engine asks for more threads than small machines have and runs several
  // times slower for it: every parallel region runs on this thread, and no pool is started.
  omp_set_max_active_levels(0);
#endif

  const std::vector<std::string> args(argv, argv + argc);
  orvel::ocr::TesseractRecognizer recognizer(orvel::ocr::TesseractRecognizer::defaultSettings());
  orvel::ocr::TextRecognitionHelper helper(recognizer);
  const orvel::ocr::RunResult result = helper.run(args);
  orvel::ocr::emit(result.output, std::cout);
  return result.exitStatus;
}
