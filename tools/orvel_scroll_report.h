// What `orvel scroll` told on its standard error, read by the demos for their summaries: its last
// progress line ("orvel: N frames, page WxH px", the page as written) and why it stopped.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

namespace orvel::demo {

struct OrvelScrollReport {
  std::string page;  // "N frames, page WxH px"; empty when orvel never captured a frame
  std::string why;   // why it stopped and what it warned of, "; " between lines
  int frames = 0, width = 0, height = 0;
  bool gaps = false;  // frames did not overlap the page
};

inline OrvelScrollReport readOrvelScrollReport(const std::string& said) {
  constexpr std::string_view kPrefix = "orvel: ";
  OrvelScrollReport report;
  std::istringstream lines(said);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with(kPrefix)) continue;
    const std::string text = line.substr(kPrefix.size());
    int frames = 0, width = 0, height = 0;
    if (std::sscanf(text.c_str(), "%d frame%*[s], page %dx%d px", &frames, &width, &height) == 3 ||
        std::sscanf(text.c_str(), "%d frame, page %dx%d px", &frames, &width, &height) == 3) {
      report.page = text;
      report.frames = frames;
      report.width = width;
      report.height = height;
      continue;
    }
    const bool gaps = text.find("did not overlap") != std::string::npos;
    report.gaps = report.gaps || gaps;
    if (gaps || text.find("end of the page") != std::string::npos ||
        text.find("height limit") != std::string::npos ||
        text.find("Keeping") != std::string::npos || text.find("interrupted") != std::string::npos)
      report.why += (report.why.empty() ? "" : "; ") + text;
  }
  return report;
}

}  // namespace orvel::demo
