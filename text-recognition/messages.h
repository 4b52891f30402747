// Every message that the helper can put in its output.
#pragma once

namespace orvel::ocr {

inline constexpr const char* kRecognitionUnavailable = "Text recognition is unavailable.";
inline constexpr const char* kLanguageUnavailable =
    "Text recognition is not available for this language.";
inline constexpr const char* kImageUnavailable = "Text recognition is unavailable for this image.";
// Why an image path gave no picture.
inline constexpr const char* kImageMissing = "The image file does not exist.";
inline constexpr const char* kNotAnImage = "The file is not a readable image.";

// The engine's own failures.
inline constexpr const char* kLanguageDataMissing =
    "The text recognition language data could not be found.";
inline constexpr const char* kLanguageDataUnloadable =
    "The text recognition language data could not be loaded.";
inline constexpr const char* kRecognizerFailed = "The text recognizer failed on this image.";

}  // namespace orvel::ocr
