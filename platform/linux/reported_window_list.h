// The windows a compositor-side script last reported (window_report.h), as the scroll helper's
// ports read them: windows get numbers of the list at first sight (from 1, never reused), kept
// while they live. A backend's list takes each report it receives and asks its compositor to
// activate a window. Loop thread of the backend only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/window_report.h"

namespace orvel::platform {

class ReportedWindowList {
 public:
  virtual ~ReportedWindowList() = default;

  // The windows of the latest report, front-most first; nothing before the first.
  const std::optional<std::vector<ReportedWindow>>& windows() const { return windows_; }
  // The list's number of a window of the latest report; 0 for one it does not hold.
  std::uint32_t numberOf(const std::string& id) const;
  const ReportedWindow* findNumber(std::uint32_t number) const;
  // Reports taken so far.
  std::uint64_t reports() const { return reports_; }

  // Asks the compositor to activate the window `id`; the result shows in later reports.
  virtual void activate(const std::string& id) = 0;
  // Why no report can come (the script is not running), as the reply to a selection; nothing
  // while one can.
  virtual std::optional<std::string> whyUnreadable() const = 0;
  // Records why the list could not start (its script or extension could not be asked), for
  // whyUnreadable().
  virtual void startFailed(const std::string& why) = 0;

 protected:
  // Makes `windows` (front-most first) the latest report.
  void take(std::vector<ReportedWindow> windows);
  // Forgets the windows: the list is unreadable until the next report.
  void forget() { windows_.reset(); }

 private:
  std::optional<std::vector<ReportedWindow>> windows_;
  std::map<std::string, std::uint32_t> numbers_;
  std::uint32_t nextNumber_ = 1;
  std::uint64_t reports_ = 0;
};

}  // namespace orvel::platform
