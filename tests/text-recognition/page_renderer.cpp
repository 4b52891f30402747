#include "page_renderer.h"

#include <cairo.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <vector>

#include "png_chunk.h"

namespace orvel::ocr::testing {
namespace {

constexpr std::array<const char*, 64> kWords = {
    "the",      "system",  "window",   "report",   "open",    "file",    "project", "update",
    "account",  "message", "settings", "review",   "change",  "number",  "result",  "order",
    "market",   "second",  "garden",   "morning",  "travel",  "letter",  "picture", "simple",
    "between",  "country", "company",  "question", "service", "history", "public",  "private",
    "network",  "storage", "invoice",  "weekly",   "summary", "product", "design",  "meeting",
    "calendar", "contact", "download", "folder",   "version", "release", "support", "customer",
    "quarter",  "revenue", "budget",   "travel",   "kitchen", "station", "library", "evening",
    "window",   "better",  "after",    "before",   "through", "without", "during",  "against"};

std::uint32_t next(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

void setRgb(cairo_t* cr, std::uint32_t rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                       (rgb & 0xff) / 255.0);
}

}  // namespace

std::string sentence(std::uint32_t seed, int words) {
  std::uint32_t state = seed * 2654435761u + 7;
  std::string out;
  for (int i = 0; i < words; ++i) {
    if (i > 0) out += ' ';
    std::string word = kWords[next(state) % kWords.size()];
    if (i == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    out += word;
  }
  return out;
}

bool writePng(const Page& page, const std::string& path) {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, page.width, page.height),
      cairo_surface_destroy);
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), cairo_destroy);
  setRgb(cr.get(), page.background);
  cairo_paint(cr.get());
  for (const Fill& fill : page.fills) {
    setRgb(cr.get(), fill.rgb);
    cairo_rectangle(cr.get(), fill.x, fill.y, fill.width, fill.height);
    cairo_fill(cr.get());
  }
  for (const TextRun& run : page.runs) {
    setRgb(cr.get(), run.rgb < 0 ? page.foreground : std::uint32_t(run.rgb));
    cairo_select_font_face(cr.get(), "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           run.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), run.size);
    cairo_font_extents_t extents;
    cairo_font_extents(cr.get(), &extents);
    cairo_move_to(cr.get(), run.x, run.top + extents.ascent);
    cairo_show_text(cr.get(), run.text.c_str());
  }
  cairo_surface_flush(surface.get());
  return cairo_surface_write_to_png(surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

std::string expectedText(const Page& page) {
  std::vector<TextRun> runs = page.runs;
  std::stable_sort(runs.begin(), runs.end(), [](const TextRun& a, const TextRun& b) {
    return a.top != b.top ? a.top < b.top : a.x < b.x;
  });
  std::string out;
  for (const TextRun& run : runs) {
    if (!out.empty()) out += '\n';
    out += run.text;
  }
  return out;
}

std::vector<std::vector<std::string>> expectedRows(const Page& page) {
  std::vector<TextRun> runs = page.runs;
  std::stable_sort(runs.begin(), runs.end(), [](const TextRun& a, const TextRun& b) {
    return a.top != b.top ? a.top < b.top : a.x < b.x;
  });
  std::vector<std::vector<std::string>> rows;
  double rowBottom = 0;
  for (const TextRun& run : runs) {
    if (rows.empty() || run.top >= rowBottom) {
      rows.emplace_back();
      rowBottom = 0;
    }
    rows.back().push_back(run.text);
    rowBottom = std::max(rowBottom, run.top + run.size);
  }
  return rows;
}

Page screenshotPage(int width, int height, bool dark) {
  Page page{width, height, dark ? 0x1e1e1eu : 0xffffffu, dark ? 0xe6e6e6u : 0x1a1a1au, {}, {}};
  const std::uint32_t chrome = dark ? 0x2b2b2bu : 0xecececu;
  const double sidebar = std::min(260.0, width * 0.22);
  page.fills.push_back({0, 0, double(width), 36, chrome});
  page.fills.push_back({0, 36, sidebar, double(height) - 36, chrome});
  page.fills.push_back({0, double(height) - 26, double(width), 26, chrome});
  page.runs.push_back({width / 2.0 - 120, 10, 14, "Quarterly report summary", true});
  // An accent button: light text on a saturated fill, whatever the page's mode.
  page.fills.push_back({width - 150.0, 4, 130, 28, 0x1f6feb});
  page.runs.push_back({width - 136.0, 11, 13, "Share report", true, 0xffffff});

  std::uint32_t seed = 1;
  for (double top = 60; top + 20 < height - 40; top += 34) {
    page.runs.push_back({18, top, 13, sentence(seed++, 2)});
  }
  const double left = sidebar + 40;
  const double columnWidth = width - left - 40;
  double top = 64;
  int paragraph = 0;
  while (top + 40 < height - 40) {
    const bool heading = paragraph % 3 == 0;
    const double size = heading ? 18 : 15;
    // About 0.55 em per character keeps a line inside the column.
    const int words = std::max(2, int(columnWidth / (size * 0.55 * 8)));
    page.runs.push_back({left, top, size, sentence(1000 + seed++, heading ? 4 : words), heading});
    top += heading ? 34 : 24;
    if (!heading && (seed % 4 == 0)) {
      top += 14;
      ++paragraph;
    } else if (heading) {
      ++paragraph;
    }
  }
  page.runs.push_back({12, double(height) - 20, 12, "Ready 42 items selected"});
  return page;
}

Page numberedPage(int width, int height) {
  Page page{width, height, 0xffffff, 0x000000, {}, {}};
  const int wordsAcross = std::max(3, int((width - 48) / (15 * 0.55 * 8)));
  int number = 0;
  for (double top = 24; top + 22 <= height; top += 22) {
    if (number % 12 == 0) {
      page.runs.push_back({24, top, 15, "Section " + std::to_string(number / 12 + 1)});
    } else {
      std::string text = sentence(number, 4 + number % std::max(1, wordsAcross - 4));
      text[0] = static_cast<char>(text[0] - 'A' + 'a');
      page.runs.push_back({24, top, 15, std::to_string(number + 1) + ". " + text});
    }
    ++number;
  }
  return page;
}

Page settingsPage(int width, int height) {
  Page page{width, height, 0xffffff, 0x1a1a1a, {}, {}};
  const std::uint32_t chrome = 0xf0f0f0;
  const std::uint32_t field = 0xf6f8fa;
  const double sidebar = 240;
  page.fills.push_back({0, 0, double(width), 40, chrome});
  page.fills.push_back({0, 40, sidebar, double(height) - 40, chrome});
  page.runs.push_back({16, 12, 14, "Back", false});
  page.runs.push_back({width / 2.0 - 40, 12, 14, "Settings", true});
  page.runs.push_back({width - 170.0, 12, 13, "Search settings", false, 0x6a6a6a});

  const char* const sections[] = {"General",  "Appearance", "Accounts", "Notifications",
                                  "Privacy",  "Network",    "Storage",  "Keyboard",
                                  "Displays", "Sound",      "Updates",  "About this computer"};
  double top = 60;
  for (const char* section : sections) {
    if (top + 20 > height - 30) break;
    page.runs.push_back({20, top, 14, section});
    top += 32;
  }

  // label, value; two pairs a row.
  const char* const fields[][2] = {
      {"Display name", "Alex Morgan"},
      {"Language", "English (United States)"},
      {"Email address", "alex@example.org"},
      {"Region", "United Kingdom"},
      {"Time zone", "Europe/London"},
      {"Date format", "Day Month Year"},
      {"Theme", "Follow the system"},
      {"Accent colour", "Blue"},
      {"Text size", "Medium"},
      {"Reduce motion", "Off"},
      {"Sleep after", "15 minutes"},
      {"Start at login", "On"},
      {"Download folder", "Downloads"},
      {"Backup schedule", "Every night"},
      {"Storage used", "182 GB of 512 GB"},
      {"Last update", "3 days ago"},
  };
  const double columns[] = {sidebar + 40, sidebar + 40 + (width - sidebar - 80) / 2};
  const double valueOffset = 170;
  top = 64;
  std::size_t next = 0;
  for (int group = 0; next < std::size(fields); ++group) {
    const char* const headings[] = {"Account", "Appearance", "System", "Storage and updates"};
    if (top + 60 > height - 30) break;
    page.runs.push_back({columns[0], top, 18, headings[group % 4], true});
    top += 40;
    for (int row = 0; row < 2 && next < std::size(fields); ++row) {
      for (const double column : columns) {
        if (next >= std::size(fields)) break;
        page.runs.push_back({column, top + 6, 14, fields[next][0], false, 0x505050});
        page.fills.push_back({column + valueOffset - 8, top, 220, 30, field});
        page.runs.push_back({column + valueOffset, top + 6, 14, fields[next][1]});
        ++next;
      }
      top += 44;
    }
    top += 12;
  }
  page.fills.push_back({0, double(height) - 26, double(width), 26, chrome});
  page.runs.push_back({12, double(height) - 20, 12, "Changes are saved automatically"});
  return page;
}

Page tallPage(int width, int height, double firstTop, double pitch) {
  Page page{width, height, 0xffffff, 0x202020, {}, {}};
  const int words = std::max(2, int((width - 60) / (15 * 0.55 * 8)));
  std::uint32_t seed = 7;
  for (double top = firstTop; top + pitch <= height; top += pitch) {
    page.runs.push_back({30, top, 15, sentence(seed++, words)});
  }
  return page;
}

}  // namespace orvel::ocr::testing

// Fontconfig, under cairo's text drawing, keeps its configuration for the life of the process on
// purpose; the leak checker of sanitizer builds would report it at exit.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace orvel::ocr::testing {

bool writeWhitePng(const std::string& path, std::uint32_t width, std::uint32_t height, bool rows) {
  std::string header;
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8)
      header += static_cast<char>(v >> shift & 0xff);
  header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, not interlaced
  std::string file = "\x89PNG\r\n\x1a\n";
  appendPngChunk(file, "IHDR", header);
  if (rows) {
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) return false;
    std::string row(width + 1, '\xff');
    row[0] = 0;  // filter: none
    std::string compressed;
    std::vector<unsigned char> out(1 << 16);
    for (std::uint32_t y = 0; y < height; ++y) {
      z.next_in = reinterpret_cast<Bytef*>(row.data());
      z.avail_in = static_cast<uInt>(row.size());
      const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, flush);
        compressed.append(reinterpret_cast<char*>(out.data()), out.size() - z.avail_out);
      } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in != 0));
    }
    deflateEnd(&z);
    appendPngChunk(file, "IDAT", compressed);
  }
  appendPngChunk(file, "IEND", "");
  std::ofstream out(path, std::ios::binary);
  out << file;
  return static_cast<bool>(out);
}

}  // namespace orvel::ocr::testing
