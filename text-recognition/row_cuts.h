// Where a band of an image may be cut into parts that engines recognise apart, so that each part
// reads as it does within the whole band: in the middle of a run of blank rows, which no text
// crosses, and only where every part gets the band's own global threshold (otsu_threshold.h), so
// that the engine binarizes each part exactly as the band.
#pragma once

#include <vector>

#include "otsu_threshold.h"

namespace orvel::ocr {

// Blank rows that a cut needs around it: a part's text then keeps a margin of at least half of
// them. Runs of kWideCutGap rows or more (between sections, paragraphs, rows of a form) are cut
// first: the engine's view of the text beside such a cut differs least from its view of the whole
// band. Dense pages (documents, long lists) have only the runs between their lines.
inline constexpr int kMinCutGap = 6;
inline constexpr int kWideCutGap = 16;
// The engine finds columns and tab stops from how lines line up over the whole picture; a part of
// a few lines sees too little of that to lay its lines out as the band does.
inline constexpr int kMinPartRows = 256;
// A row is blank when no pixel is darker than this: placeholder and disabled text is drawn in greys
// down to about 170, while dividers and field borders are lighter.
inline constexpr int kTextBelow = 200;

struct RowSpan {
  int start = 0;  // first row
  int end = 0;    // one past the last row
  friend bool operator==(const RowSpan&, const RowSpan&) = default;
};

// At most `parts` spans that cover the rows in order, given each row's histogram of greys: cuts
// sit in the middle of runs of at least kMinCutGap blank rows with text above and below, where
// every part keeps the band's threshold and at least kMinPartRows rows, each nearest an equal share
// of the dark pixels (the engine's work grows with the text it reads); a run of kWideCutGap rows
// wins over a narrower one wherever it qualifies. One span when no cut
// qualifies or one part is asked for; none for no rows.
std::vector<RowSpan> cutIntoParts(const std::vector<Histogram>& rows, int parts);

}  // namespace orvel::ocr
