// One KWin script of this process, loaded at run time through KWin's scripting service
// (org.kde.kwin.Scripting at /Scripting on the session bus): the text is written to a file of its
// own (in $XDG_RUNTIME_DIR, else /tmp; KWin runs as the same user), loaded under a plugin name
// unique to this process, and run through the script's own object, which answers once KWin has
// read the file: the file is removed then, so nothing of it outlives a helper killed outright.
// Running a new text unloads the one before. Destroying the object unloads the script without
// waiting for KWin's answer.
//
// Loop thread of `bus` only; `bus` must outlive this object.
#pragma once

#include <cstdint>
#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::kde {

class KWinScript {
 public:
  // `name`: the plugin name, made unique to this process by its pid.
  KWinScript(dbus::DbusConnection& bus, const std::string& name);
  ~KWinScript();
  KWinScript(const KWinScript&) = delete;
  KWinScript& operator=(const KWinScript&) = delete;

  // Has KWin run `text` (its earlier script unloaded first); fails with KWin's or the file's
  // reason.
  Task<Expected<void, Failure>> run(std::string text, Duration deadline);
  const std::string& name() const { return name_; }

 private:
  Task<Expected<void, Failure>> unload(Duration deadline);
  // Has KWin run the loaded script `id`, answering once it has read the file.
  Task<Expected<void, Failure>> runLoaded(std::int32_t id, Duration deadline);
  void removeFile();

  dbus::DbusConnection& bus_;
  std::string name_;
  std::string file_;
  bool loaded_ = false;
};

}  // namespace orvel::kde
