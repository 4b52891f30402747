#include <iostream>
#include <string>
#include <vector>

#include "tesseract_recognizer.h"
#include "text_recognition_helper.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  orvel::ocr::TesseractRecognizer recognizer(orvel::ocr::TesseractRecognizer::defaultSettings());
  orvel::ocr::TextRecognitionHelper helper(recognizer);
  const orvel::ocr::RunResult result = helper.run(args);
  orvel::ocr::emit(result.output, std::cout);
  return result.exitStatus;
}
