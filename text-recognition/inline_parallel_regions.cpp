// The distribution's Tesseract, built with OpenMP, opens a parallel region for every LSTM time
// step (about 300 000 for one screenshot). Even held to one thread, libgomp builds a team for each
// and ends it by waking the team's barrier with a system call, a tenth or more of the helper's time
// on a virtual machine. The helper recognises on one thread, so the executable defines the entry
// points that the Tesseract library calls (a static Tesseract is linked to them; a shared one finds
// them first, as the dynamic linker prefers the executable's definitions) and runs each region
// inline: the loops see one thread, number 0, and sections run once each, in order, as a one-thread
// team would run them.
namespace {

struct Sections {
  unsigned next = 1;
  unsigned count = 0;
};

thread_local Sections currentSections;

}  // namespace

extern "C" {

void GOMP_parallel(void (*region)(void*), void* data, unsigned /*threads*/, unsigned /*flags*/) {
  // Sections started inside the region are its own.
  const Sections outer = currentSections;
  region(data);
  currentSections = outer;
}

void GOMP_parallel_sections(void (*region)(void*), void* data, unsigned /*threads*/, unsigned count,
                            unsigned /*flags*/) {
  const Sections outer = currentSections;
  currentSections = {1, count};
  region(data);
  currentSections = outer;
}

unsigned GOMP_sections_next() {
  Sections& sections = currentSections;
  return sections.next <= sections.count ? sections.next++ : 0;
}

unsigned GOMP_sections_start(unsigned count) {
  currentSections = {1, count};
  return GOMP_sections_next();
}

void GOMP_sections_end() {}

void GOMP_sections_end_nowait() {}

}  // extern "C"
