// How many engines recognise an image at once: ORVEL_OCR_THREADS when it is a whole number from 1
// to kMaxEngines, otherwise one a core up to kDefaultMaxEngines. Each engine holds its own
// recognition model, and a tall page keeps every engine busy with a part of its own, so the
// default stops where a tall page still reads within the helper's memory budget.
#pragma once

namespace orvel::ocr {

inline constexpr int kMaxEngines = 64;
inline constexpr int kDefaultMaxEngines = 8;

// `setting` is the variable's value (null when unset); `cores` what the system reports (0 when it
// cannot tell).
int engineCount(const char* setting, unsigned cores);

}  // namespace orvel::ocr
