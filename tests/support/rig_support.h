// What the display-server rigs of the tests share: finding the programs a server needs, a private
// folder for its sockets and logs, handing files to the unprivileged user that a server refusing
// root runs as, and waiting for a condition that another process brings about.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace orvel::testsupport {

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

// The whole text of a file; empty when it cannot be read.
std::string readText(const std::string& path);

// Gives `path` to kServerUser when the tests run as root; true when that worked or was not needed.
bool handToServerUser(const std::string& path);

// `command` run as kServerUser when the tests run as root (through setpriv), else as it is.
std::vector<std::string> asServerUser(std::vector<std::string> command = {});

}  // namespace orvel::testsupport
