// The shipped library as a host sees it: loaded with dlopen by a separate process whose
// executable is the application to register.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "exec_line_parser.h"
#include "temp_folder.h"

extern char** environ;

namespace orvel::startup {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::readText;
using testing::TempFolder;
using testing::writeText;

struct HostRun {
  int exitStatus = -1;
  std::vector<std::string> results;
  std::vector<std::string> logLines;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

// Runs the host with the calling environment, minus the variables that would point the library
// at the real configuration, plus `variables`.
HostRun runHost(const fs::path& host, const fs::path& scratch,
                const std::map<std::string, std::string>& variables,
                const std::vector<std::string>& commands) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string item = *entry;
    const std::string name = item.substr(0, item.find('='));
    if (name != "HOME" && name != "XDG_CONFIG_HOME" && name != "XDG_CURRENT_DESKTOP") {
      environment.push_back(item);
    }
  }
  for (const auto& [name, value] : variables)
    environment.push_back(name + "=" + value);

  std::vector<std::string> arguments = {host.string(), ORVEL_STARTUP_LIBRARY};
  arguments.insert(arguments.end(), commands.begin(), commands.end());
  const auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings)
      result.push_back(s.data());
    result.push_back(nullptr);
    return result;
  };
  auto argv = pointers(arguments);
  auto envp = pointers(environment);
  const fs::path out = scratch / "stdout";
  const fs::path err = scratch / "stderr";

  const pid_t child = fork();
  if (child == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  HostRun run;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  run.results = linesOf(readText(out));
  for (const auto& line : linesOf(readText(err))) {
    if (line.starts_with("syslog: ")) run.logLines.push_back(line.substr(8));
  }
  return run;
}

class StartupLibraryTest : public ::testing::Test {
 protected:
  fs::path home() const { return temp_.path() / "home"; }
  fs::path defaultEntry() const { return home() / ".config/autostart/startup_host.desktop"; }

  HostRun run(const std::vector<std::string>& commands) {
    return runHost(ORVEL_STARTUP_HOST, temp_.path(), {{"HOME", home().string()}}, commands);
  }

  TempFolder temp_;
};

TEST_F(StartupLibraryTest, AnyNonZeroFlagRegistersWithoutLogging) {
  auto result = run({"status", "set", "1", "status"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_THAT(result.results, ElementsAre("0", "1", "1"));
  EXPECT_THAT(result.logLines, IsEmpty());
  const auto exec = testing::parseExecValue(testing::execLineOf(readText(defaultEntry())).value());
  ASSERT_TRUE(exec);
  EXPECT_THAT(*exec, ElementsAre(fs::canonical(ORVEL_STARTUP_HOST).string()));

  fs::remove(defaultEntry());
  result = run({"set", "7", "status"});
  EXPECT_THAT(result.results, ElementsAre("1", "1"));
  EXPECT_TRUE(fs::exists(defaultEntry()));
}

TEST_F(StartupLibraryTest, UnregisterRemovesTheEntryAndAMissingOneIsNoFailure) {
  const fs::path other = home() / ".config/autostart/other.desktop";
  writeText(other, "[Desktop Entry]\nExec=other\n");
  const auto result = run({"set", "1", "set", "0", "status", "set", "0"});
  EXPECT_THAT(result.results, ElementsAre("1", "0", "0", "0"));
  EXPECT_THAT(result.logLines, IsEmpty());
  EXPECT_FALSE(fs::exists(defaultEntry()));
  EXPECT_EQ(readText(other), "[Desktop Entry]\nExec=other\n");
}

TEST_F(StartupLibraryTest, AnEntryTheUserTurnedOffReadsTwoAndStaysOff) {
  writeText(defaultEntry(), "[Desktop Entry]\nType=Application\nExec=x\nHidden=true\n");
  const auto result = run({"status", "set", "1"});
  EXPECT_THAT(result.results, ElementsAre("2", "2"));
  EXPECT_THAT(readText(defaultEntry()), ::testing::HasSubstr("\nHidden=true\n"));
}

TEST_F(StartupLibraryTest, AnUnwritableConfigurationFolderFailsWithOneLogLine) {
  const fs::path config = temp_.path() / "config";
  writeText(config, "not a folder");
  const auto result = runHost(ORVEL_STARTUP_HOST, temp_.path(),
                              {{"HOME", home().string()}, {"XDG_CONFIG_HOME", config.string()}},
                              {"set", "1", "status"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_THAT(result.results, ElementsAre("-1", "0"));
  EXPECT_THAT(result.logLines, ElementsAre("Orvel startup: cannot create the folder " +
                                           config.string() + "/autostart: Not a directory"));
}

TEST_F(StartupLibraryTest, WhatIsNotARegularFileOfOursIsNeverWaitedOnReadOrCopied) {
  const fs::path entry = defaultEntry();
  fs::create_directories(entry.parent_path());
  const fs::path secret = temp_.path() / "secret";
  writeText(secret, "[Desktop Entry]\nExec=x\nPassword=hunter2\n");
  const fs::path huge = temp_.path() / "huge.desktop";
  writeText(huge, "[Desktop Entry]\nExec=x\n# " + std::string(70 * 1024, 'x') + "\n");
  const auto fifo = [&] { return mkfifo(entry.c_str(), 0600) == 0; };
  const auto link = [&](const fs::path& to) {
    fs::create_symlink(to, entry);
    return true;
  };
  const std::vector<std::pair<std::string, std::function<bool()>>> cases = {
      {"fifo", fifo},
      {"/dev/zero", [&] { return link("/dev/zero"); }},
      {"link to a secret", [&] { return link(secret); }},
      {"70 KiB", [&] { return fs::copy_file(huge, entry); }},
  };
  for (const auto& [name, make] : cases) {
    ASSERT_TRUE(make()) << name;
    const auto result = run({"status", "set", "1", "status"});
    EXPECT_THAT(result.results, ElementsAre("0", "1", "1")) << name;
    EXPECT_THAT(result.logLines, IsEmpty()) << name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(entry))) << name;
    const std::string text = readText(entry);
    EXPECT_EQ(text.find("hunter2"), std::string::npos) << name;
    EXPECT_LT(text.size(), 4096u) << name;
    fs::remove(entry);
  }
  EXPECT_EQ(readText(secret), "[Desktop Entry]\nExec=x\nPassword=hunter2\n");

  ASSERT_TRUE(fifo());
  EXPECT_THAT(run({"set", "0", "status"}).results, ElementsAre("0", "0"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(entry)));
}

TEST_F(StartupLibraryTest, AConfigurationFolderThatIsAFileHasNothingToRemove) {
  const fs::path config = temp_.path() / "config\nfake: line";
  writeText(config, "not a folder");
  const auto result = runHost(ORVEL_STARTUP_HOST, temp_.path(),
                              {{"HOME", home().string()}, {"XDG_CONFIG_HOME", config.string()}},
                              {"set", "0", "status", "set", "1"});
  EXPECT_THAT(result.results, ElementsAre("0", "0", "-1"));
  EXPECT_THAT(result.logLines,
              ElementsAre("Orvel startup: cannot create the folder " + temp_.path().string() +
                          "/config\\x0afake: line/autostart: Not a directory"));
}

TEST_F(StartupLibraryTest, AHostPathFullOfShellCharactersRoundTrips) {
  const fs::path folder = temp_.path() / R"(Apps "quoted" $HOME `id` 100%f back\slash)";
  const fs::path host = folder / "orvel host's";
  fs::create_directories(folder);
  fs::copy_file(ORVEL_STARTUP_HOST, host);
  const fs::path config = temp_.path() / "xdg config";
  const auto result =
      runHost(host, temp_.path(), {{"HOME", home().string()}, {"XDG_CONFIG_HOME", config.string()}},
              {"set", "1"});
  EXPECT_THAT(result.results, ElementsAre("1"));
  const std::string text = readText(config / "autostart/orvel_host_s.desktop");
  const auto exec = testing::parseExecValue(testing::execLineOf(text).value_or(""));
  ASSERT_TRUE(exec) << text;
  EXPECT_THAT(*exec, ElementsAre(host.string()));
  EXPECT_FALSE(fs::exists(home()));
}

}  // namespace
}  // namespace orvel::startup
