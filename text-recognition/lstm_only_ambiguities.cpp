// Tesseract's start-up parses its built-in table of character ambiguities for every language
// ("rn" read as "m" and the like) whatever the engine: 120 ms and 5 MB of every run here, a
// twelfth of a screenshot's recognition. Only the legacy engine reads the table (its adaptive
// classifier and its dangerous-ambiguity check); the helper runs the LSTM engine alone, which never
// does, and its recognised text is the same byte for byte without it.
//
// The statically linked helper is therefore linked with
//   --wrap=tesseract::UnicharAmbigs::LoadUniversal(UNICHARSET const&, UNICHARSET*)
// so that Tesseract's call lands here and the table stays empty, as its own initialisation left
// it. A Tesseract without that function is linked unchanged: the linker then has nothing to wrap.
extern "C" void __wrap__ZN9tesseract13UnicharAmbigs13LoadUniversalERKNS_10UNICHARSETEPS1_(
    void* /*ambiguities*/, const void* /*encoderCharacters*/, void* /*characters*/) {}
