#include "platform/linux/reported_window_list.h"

#include <algorithm>

namespace orvel::platform {

void ReportedWindowList::take(std::vector<ReportedWindow> windows) {
  std::map<std::string, std::uint32_t> numbers;
  for (const ReportedWindow& w : windows) {
    const auto known = numbers_.find(w.id);
    numbers.emplace(w.id, known != numbers_.end() ? known->second : nextNumber_++);
  }
  numbers_ = std::move(numbers);
  windows_ = std::move(windows);
  ++reports_;
}

std::uint32_t ReportedWindowList::numberOf(const std::string& id) const {
  const auto it = numbers_.find(id);
  return it == numbers_.end() ? 0 : it->second;
}

const ReportedWindow* ReportedWindowList::findNumber(std::uint32_t number) const {
  if (!windows_) return nullptr;
  const auto it = std::find_if(windows_->begin(), windows_->end(),
                               [&](const ReportedWindow& w) { return numberOf(w.id) == number; });
  return it == windows_->end() ? nullptr : &*it;
}

}  // namespace orvel::platform
