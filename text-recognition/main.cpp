#include <leptonica/allheaders.h>
#include <malloc.h>
#if ORVEL_OCR_ENGINE_OPENMP
#include <omp.h>
#endif

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine_count.h"
#include "orvel/common/program_info.h"
#include "tesseract_recognizer.h"
#include "text_recognition_helper.h"

namespace {

constexpr const char* kCommands =
    "usage: text-recognition-helper languages | recognize IMAGE LANGUAGE | --help | --version\n";
constexpr const char* kDetails =
    "\n"
    "  languages                  list the recognition languages\n"
    "  recognize IMAGE LANGUAGE   recognise the text of IMAGE; LANGUAGE is \"system\" or a tag\n"
    "                             such as en-US, en or zh-Hans\n"
    "\n"
    "Writes one JSON object without a line feed: {\"languages\":[...]}, {\"text\":...} or\n"
    "{\"error\":...}. Exit status: 0 success, 1 failure, 2 malformed command line.\n"
    "\n"
    "ORVEL_OCR_THREADS=N recognises parts of an image on up to N engines at once (default: one\n"
    "a core, at most 8); 1 reads each band whole on one engine.\n";

// Allocations from this size up get pages of their own: picture buffers are megabytes each, and
// mapping them separately hands them back to the system when a band is done instead of leaving a
// fragmented heap that grows band after band.
constexpr int kMapThreshold = 256 * 1024;

}  // namespace

int main(int argc, char** argv) {
  const std::string usage = std::string(kCommands) + kDetails;
  if (const auto status = orvel::answerInfoOption(argc, argv, {"text-recognition-helper", usage})) {
    return *status;
  }

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
  const int engines = orvel::ocr::engineCount(std::getenv("ORVEL_OCR_THREADS"),
                                              std::thread::hardware_concurrency());
  orvel::ocr::TextRecognitionHelper helper(recognizer, engines);
  const orvel::ocr::RunResult result = helper.run(args);
  orvel::ocr::emit(result.output, std::cout);
  // The JSON on standard output stays the only answer a host reads; the person at a terminal
  // also learns what was expected, on a line of its own after the JSON without its line feed.
  if (result.exitStatus == orvel::ocr::kExitMalformed) {
    if (::isatty(STDOUT_FILENO) == 1) std::fputs("\n", stderr);
    std::fputs(kCommands, stderr);
  }
  return result.exitStatus;
}
