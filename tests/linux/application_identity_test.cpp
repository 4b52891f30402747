// What /proc tells about processes: their identifiers, read once per process, and the processes
// that share one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/linux/application_identity.h"
#include "platform/linux/proc_workspace.h"

namespace orvel::procfs {
namespace {

TEST(ApplicationIdentity, EnvironmentGivesTheApplicationsOwnIdOnlyForItsOwnLaunch) {
  using namespace std::string_literals;
  EXPECT_EQ(procfs::applicationIDFromEnvironment("A=1\0FLATPAK_ID=org.example.Reader\0"s, 7),
            "org.example.Reader");
  EXPECT_EQ(procfs::applicationIDFromEnvironment(
                "GIO_LAUNCHED_DESKTOP_FILE=/usr/share/applications/org.example.Editor.desktop\0"
                "GIO_LAUNCHED_DESKTOP_FILE_PID=42\0"s,
                42),
            "org.example.Editor");
  // Inherited by a child of the launched program: not the child's identity.
  EXPECT_EQ(procfs::applicationIDFromEnvironment(
                "GIO_LAUNCHED_DESKTOP_FILE=/usr/share/applications/org.example.Editor.desktop\0"
                "GIO_LAUNCHED_DESKTOP_FILE_PID=42\0"s,
                43),
            std::nullopt);
  // This process has none of those: its executable identifies it, and it is running.
  auto self = procfs::readProcess(::getpid());
  ASSERT_TRUE(self);
  EXPECT_FALSE(self->terminated);
  ASSERT_TRUE(self->applicationID);
  EXPECT_EQ(self->applicationID->front(), '/');
  EXPECT_NE(self->applicationID->find("application_identity_test"), std::string::npos);
}

TEST(ApplicationIdentity, AKnownProcessIsReadOnceUntilAnotherTakesItsPid) {
  using namespace std::string_literals;
  const auto root =
      std::filesystem::temp_directory_path() / ("orvel-proc-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root / "77");
  auto write = [&](const char* file, const std::string& text) {
    std::ofstream(root / "77" / file, std::ios::binary) << text;
  };
  // The command name holds ") " to show the fields are counted from the last parenthesis.
  auto stat = [](char state, int start) {
    return "77 (odd) name) "s + state + " 1 77 77 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 " +
           std::to_string(start) + " 1000 100\n";
  };
  write("stat", stat('S', 500));
  write("environ", "FLATPAK_ID=org.example.First\0"s);
  procfs::ProcessIdentities processes(root.string());
  auto first = processes.read(77);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->applicationID, "org.example.First");
  EXPECT_FALSE(first->terminated);

  // The same process: its state is read again, its identity is not.
  write("environ", "FLATPAK_ID=org.example.Changed\0"s);
  write("stat", stat('Z', 500));
  auto again = processes.read(77);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->applicationID, "org.example.First");
  EXPECT_TRUE(again->terminated);
  EXPECT_EQ(procfs::readProcess(77, root.string())->applicationID, "org.example.Changed");

  // Another process with the same pid (a later start) is read afresh; a gone one is nothing.
  write("stat", stat('R', 900));
  EXPECT_EQ(processes.read(77)->applicationID, "org.example.Changed");
  std::filesystem::remove_all(root / "77");
  EXPECT_FALSE(processes.read(77));

  // A file that opens but cannot be read (as a process's files do once it ends mid-read) leaves
  // the identity to the executable rather than throwing.
  std::filesystem::create_directories(root / "78" / "environ");
  std::ofstream(root / "78" / "stat") << "78 (x) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 5 1 1\n";
  std::filesystem::create_directory_symlink("/usr/bin/env", root / "78" / "exe");
  const auto unreadable = procfs::readProcess(78, root.string());
  ASSERT_TRUE(unreadable);
  EXPECT_EQ(unreadable->applicationID, "/usr/bin/env");
  std::filesystem::remove_all(root);
}

TEST(ApplicationIdentity, TheRunningProcessesOfAnIdentifierLeaveOutZombiesAndOthers) {
  using namespace std::string_literals;
  const auto root =
      std::filesystem::temp_directory_path() / ("orvel-procs-" + std::to_string(::getpid()));
  auto process = [&](int pid, char state, const std::string& id) {
    const auto dir = root / std::to_string(pid);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "stat") << pid << " (x) " << state
                                << " 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 100 1000 100\n";
    std::ofstream(dir / "environ", std::ios::binary) << "FLATPAK_ID="s + id + '\0';
  };
  process(10, 'S', "org.example.Reader");
  process(11, 'Z', "org.example.Reader");
  process(12, 'R', "org.example.Other");
  process(13, 'S', "org.example.Reader");
  std::filesystem::create_directories(root / "self");

  // The backends add the rest of the port.
  struct Workspace final : ProcWorkspace {
    using ProcWorkspace::ProcWorkspace;
    void activate(std::int32_t, std::uint32_t) override {}
    std::optional<std::int32_t> frontmostPID() override { return std::nullopt; }
  } apps(root.string());
  auto pids = apps.pidsWithBundleID("org.example.Reader");
  std::sort(pids.begin(), pids.end());
  EXPECT_EQ(pids, (std::vector<std::int32_t>{10, 13}));
  EXPECT_TRUE(apps.pidsWithBundleID("org.example.Missing").empty());
  auto zombie = apps.application(11);
  ASSERT_TRUE(zombie);
  EXPECT_EQ(zombie->pid, 11);
  EXPECT_EQ(zombie->bundleID, "org.example.Reader");
  EXPECT_TRUE(zombie->terminated);
  EXPECT_FALSE(apps.application(99));
  EXPECT_FALSE(apps.application(0));
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace orvel::procfs
