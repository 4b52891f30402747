// How the content of a scrolling view moved between two frames of the same region, found from the
// frames' rows alone. A frame is a fixed header band (rows that stay as they were), a moving band
// whose content moved up by `shift` rows, and a fixed footer band. Rows are compared whole, by a
// hash of their bytes; the frames are in one pixel space, rows top to bottom.
//
// Pure logic, no I/O; any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "orvel/common/image.h"

namespace orvel::stitching {

// One hash per row of a picture: rows with equal bytes have equal hashes.
std::vector<std::uint64_t> rowHashes(const ImageView& frame);

struct FrameOverlap {
  int header = 0;  // rows at the top that stayed as they were
  int footer = 0;  // rows at the bottom that stayed as they were
  int shift = 0;   // rows the moving band moved up; 0 when nothing moved
  // False when no shift explains the frames (the content jumped by more than a frame or changed):
  // `shift` is then the whole moving band, so that nothing is dropped.
  bool matched = true;
};

// The layout that explains `next` from `previous` (equal heights) with the fewest rows that differ
// from what it predicts, a few such rows allowed (a blinking text cursor, a spinner). When the
// content repeats (an empty table) several shifts explain it equally; then the one nearest to
// `expectedShift`, the distance the view was asked to scroll (0 when unknown: the smallest move).
FrameOverlap measureOverlap(const std::vector<std::uint64_t>& previous,
                            const std::vector<std::uint64_t>& next, int expectedShift);

}  // namespace orvel::stitching
