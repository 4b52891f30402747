// Renders pages of known text into PNG files, so recognition can be checked against the text that
// was drawn. Pages are deterministic: the same call always draws the same pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel::ocr::testing {

struct TextRun {
  double x = 0;
  double top = 0;  // top of the font's ascent, in pixels from the top edge
  double size = 14;
  std::string text;
  bool bold = false;
  std::int64_t rgb = -1;  // the page's foreground when negative
};

struct Fill {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  std::uint32_t rgb = 0;
};

struct Page {
  int width = 0;
  int height = 0;
  std::uint32_t background = 0xffffff;
  std::uint32_t foreground = 0x000000;
  std::vector<Fill> fills;  // drawn before the text
  std::vector<TextRun> runs;
};

// Writes an RGB PNG; false when the file cannot be written.
bool writePng(const Page& page, const std::string& path);

// The runs' texts ordered top to bottom, then left to right, one per line.
std::string expectedText(const Page& page);

// A white 8-bit grey PNG of any declared size, written without the pixels ever being in memory;
// with `rows` false it holds the header alone (as a file claiming a size it lacks the data for).
bool writeWhitePng(const std::string& path, std::uint32_t width, std::uint32_t height,
                   bool rows = true);

// The same lines grouped into rows: runs whose vertical extents overlap are one row, whose lines a
// reader may take in any order.
std::vector<std::vector<std::string>> expectedRows(const Page& page);

// A desktop-like window: title bar, toolbar, sidebar, paragraphs and a status bar, with interface
// text sizes (12 to 18 pixels). Dark pages draw light text on dark grey.
Page screenshotPage(int width, int height, bool dark);

// A document like the demo's: "Section N" headings and numbered lines ("12. capture window ..."),
// one every 22 pixels.
Page numberedPage(int width, int height);

// An interface with a sidebar beside a two-column settings form: labels far from their values, in
// fields, and a second pair of columns to the right.
Page settingsPage(int width, int height);

// A long page of sentences, one line every `pitch` pixels starting at `firstTop`.
Page tallPage(int width, int height, double firstTop, double pitch);

// Words of a deterministic pseudo-random English sentence about `words` long.
std::string sentence(std::uint32_t seed, int words);

}  // namespace orvel::ocr::testing
