// What the display-server rigs of the tests share: finding the programs a server needs, a private
// folder for its sockets and logs, handing files to the unprivileged user that a server refusing
// root runs as, and waiting for a condition that another process brings about.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvel::testsupport {

class ChildProcess;

// The user that servers refusing root (sway, gnome-shell, KWin) run as when the tests run as root.
inline constexpr uid_t kServerUser = 65534;

// Polls `condition` every 10 ms until it holds (true) or `timeout` passes (false).
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The path of `program` in $PATH, or nothing.
std::optional<std::string> programPath(const std::string& program);

// Whether one of `programs` is missing from $PATH; then `whyNot` says which: "NAME is not
// installed (tools/install-deps installs it)".
bool lacksPrograms(std::initializer_list<const char*> programs, std::string& whyNot);

// Makes a new folder /tmp/orvel-NAME-XXXXXX readable only by its owner into `folder`; false, and
// `whyNot` says so, when it cannot.
bool makeRigFolder(const std::string& name, std::string& folder, std::string& whyNot);

// Ends a rig: closes the input of its session script (which then stops its servers), and when the
// script has not ended within `grace`, runs `overdue` and kills it; then removes the rig's folder
// (none when empty).
void endRigSession(std::unique_ptr<ChildProcess>& session, std::chrono::milliseconds grace,
                   const std::string& folder, const std::function<void()>& overdue = {});

// The whole text of a file; empty when it cannot be read.
std::string readText(const std::string& path);
// The bytes of the file at `path`; none when it cannot be read.
std::vector<std::uint8_t> readFileBytes(const std::string& path);

// Gives `path` to kServerUser when the tests run as root; true when that worked or was not needed.
bool handToServerUser(const std::string& path);

// `command` run as kServerUser when the tests run as root (through setpriv), else as it is.
std::vector<std::string> asServerUser(std::vector<std::string> command = {});

}  // namespace orvel::testsupport
