// Which rows of the backend table a helper tries, in order, from its environment: $ORVEL_BACKEND
// names one row, tried alone; unset or empty, every row that applies to the session, in table
// order. Any other value names no row, and none is tried. Made once in main.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::platform {

struct BackendCandidate {
  std::string_view name;  // what $ORVEL_BACKEND calls the row
  bool applies = false;   // whether the session looks like one for it (its variables are set)
};

struct BackendChoice {
  std::vector<std::size_t> rows;  // indices into the table, in the order to try
  std::string warning;            // for the log when $ORVEL_BACKEND names no row
};

// A null `forced` is an unset variable.
inline BackendChoice chooseBackends(const std::vector<BackendCandidate>& table,
                                    const char* forced) {
  const std::string_view force = forced ? forced : "";
  BackendChoice choice;
  std::string names;
  for (std::size_t i = 0; i < table.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == table.size() ? " or " : ", ") + std::string(table[i].name);
    if (force.empty() ? table[i].applies : force == table[i].name) choice.rows.push_back(i);
  }
  if (!force.empty() && choice.rows.empty()) {
    choice.warning = "ORVEL_BACKEND must be " + names + ", not " + std::string(force);
  }
  return choice;
}

}  // namespace orvel::platform
