// An image recognised in parts on several engines at once. Each band is prepared once, in order,
// and cut into parts where no text crosses (row_cuts.h); engines take the parts one after another,
// and a line belongs to the band whose own stretch holds its centre, as in one-engine recognition.
#pragma once

#include <vector>

#include "line.h"
#include "platform/text_recognizer.h"

namespace orvel::ocr {

// Lines of every part in band and part order, each band cut into at most `engines` parts; at most
// `engines` engines run, and no more than the parts there are. The first failure in that order
// wins, and no part is started after one.
platform::RecognizerResult<std::vector<Line>> recognizeInParts(
    platform::TextRecognizer& recognizer, const platform::RecognitionImage& image, int engines);

}  // namespace orvel::ocr
