// Feeds arbitrary bytes to the login item's desktop-entry reader as an existing entry file, then
// sets the keys the library writes and reads the result back: the keys set must read back as
// set, and every other key of the main group must survive. Also quotes the input as an
// executable path for Exec.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "startup/desktop_entry.h"
#include "startup/exec_quoting.h"

using orvel::startup::DesktopEntry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)orvel::startup::execValueFor(text);
  auto entry = DesktopEntry::parse(text);
  if (!entry) return 0;
  const auto before = entry->entries();
  (void)entry->boolean("Hidden");
  (void)entry->value("OnlyShowIn");
  entry->set("Type", "Application");
  entry->set("Exec", "/usr/bin/orvel --start");
  const auto again = DesktopEntry::parse(entry->text());
  if (!again || again->value("Type") != "Application" ||
      again->value("Exec") != "/usr/bin/orvel --start") {
    std::abort();
  }
  const auto after = again->entries();
  for (const auto& [key, value] : before) {
    if (key == "Type" || key == "Exec") continue;
    bool kept = false;
    for (const auto& kv : after)
      kept = kept || (kv.first == key && kv.second == value);
    if (!kept) std::abort();
  }
  return 0;
}
