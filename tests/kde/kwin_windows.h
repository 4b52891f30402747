// KWin's windows as the scroll helper's list keeps them, for the KDE tests: a running
// orvel_kde_window_list (kde_window_list.cpp) on a rig's KWin, and through it KWin's hand on the
// windows (activation, placement). Test thread only.
#pragma once

#include <memory>
#include <string>

#include "kwin_rig.h"
#include "orvel/common/json_text.h"

namespace orvel::kdetest {

// Whether the rig's KWin holds a script loaded under `name`.
bool kwinScriptLoaded(const KWinRig& rig, const std::string& name);

class KWinWindows {
 public:
  explicit KWinWindows(const KWinRig& rig);
  // KWin runs the list's script.
  bool ready() const { return ready_; }
  // The windows of the latest report (kde_window_list.cpp); null before the first or on no answer.
  Json list();
  // The entry of `pid`'s window once the list holds one; null when it does not within 20 s.
  Json windowOf(int pid);
  // Whether KWin holds this list's script `name` ("orvel-window-list", or "orvel-activate" for
  // its activations), named after the list's process.
  bool scriptLoaded(const std::string& name = "orvel-window-list");
  // Asks KWin to make window `number` its active one.
  bool activate(int number);
  // Asks KWin to give window `number` this frame (KWin's logical pixels), and to keep it above
  // the others when `above`.
  bool place(int number, int x, int y, int width, int height, bool above = false);
  // Kills the list's process outright, leaving its scripts loaded.
  bool kill();

 private:
  bool command(const std::string& line);
  const KWinRig& rig_;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

}  // namespace orvel::kdetest
