#include "command_line.h"

#include <gtest/gtest.h>

#include "clipboard.h"
#include "helper_paths.h"
#include "screenshot_path.h"

namespace orvel::cli {
namespace {

Command parsed(const std::vector<std::string>& args) {
  auto c = parseCommandLine(args);
  EXPECT_TRUE(c) << (c ? "" : c.error().description);
  return c ? *c : Command(HelpRequest{});
}

std::string usageError(const std::vector<std::string>& args) {
  auto c = parseCommandLine(args);
  return c ? "(accepted)" : c.error().description;
}

TEST(CommandLine, ReadsEachCommandWithItsOptions) {
  EXPECT_EQ(std::get<RegionOptions>(parsed({"region"})).output, std::nullopt);
  EXPECT_EQ(std::get<RegionOptions>(parsed({"region", "-o", "-"})).output, "-");
  EXPECT_EQ(std::get<RegionOptions>(parsed({"region", "--output=a.png"})).output, "a.png");
  EXPECT_FALSE(std::get<RegionOptions>(parsed({"region"})).copy);
  EXPECT_TRUE(std::get<RegionOptions>(parsed({"region", "--copy", "-o", "-"})).copy);
  EXPECT_TRUE(std::get<ScrollOptions>(parsed({"scroll", "--copy"})).copy);

  const auto scroll =
      std::get<ScrollOptions>(parsed({"scroll", "-o", "p.png", "--max-height", "900"}));
  EXPECT_EQ(scroll.output, "p.png");
  EXPECT_EQ(scroll.maxHeight, 900);
  EXPECT_EQ(std::get<ScrollOptions>(parsed({"scroll"})).maxHeight, kMaxPageHeight);

  const auto text =
      std::get<TextOptions>(parsed({"text", "--lang=de", "--json", "scan.png", "--copy"}));
  EXPECT_EQ(text.language, "de");
  EXPECT_TRUE(text.json);
  EXPECT_TRUE(text.copy);
  EXPECT_EQ(text.image, "scan.png");
  EXPECT_EQ(std::get<TextOptions>(parsed({"text"})).language, "system");
  EXPECT_EQ(std::get<TextOptions>(parsed({"text"})).image, std::nullopt);

  EXPECT_EQ(std::get<AutostartOptions>(parsed({"autostart", "on"})).action,
            AutostartOptions::Action::kOn);
  EXPECT_EQ(std::get<AutostartOptions>(parsed({"autostart", "status"})).action,
            AutostartOptions::Action::kStatus);
  EXPECT_TRUE(std::holds_alternative<HelpRequest>(parsed({"scroll", "--help"})));
  EXPECT_TRUE(std::holds_alternative<VersionRequest>(parsed({"--version"})));
}

TEST(CommandLine, SaysWhatIsWrong) {
  EXPECT_EQ(usageError({}), "orvel needs a command: region, scroll, text or autostart");
  EXPECT_EQ(usageError({"shoot"}),
            "orvel: unknown command \"shoot\" (region, scroll, text, autostart)");
  EXPECT_EQ(usageError({"region", "-o"}), "option -o needs a value");
  EXPECT_EQ(usageError({"region", "--delay", "3"}), "orvel region: unknown option --delay");
  EXPECT_EQ(usageError({"scroll", "--max-height", "0"}),
            "--max-height takes a number of pixels from 1 to 32767, not \"0\"");
  EXPECT_EQ(usageError({"scroll", "--max-height", "40000"}),
            "--max-height takes a number of pixels from 1 to 32767, not \"40000\"");
  EXPECT_EQ(usageError({"scroll", "--max-height", "12px"}),
            "--max-height takes a number of pixels from 1 to 32767, not \"12px\"");
  EXPECT_EQ(usageError({"text", "a.png", "b.png"}),
            "orvel text reads one image, not \"a.png\" and \"b.png\"");
  EXPECT_EQ(usageError({"autostart", "maybe"}),
            "orvel autostart takes off or status, not \"maybe\"");
  EXPECT_EQ(usageError({"autostart"}), "orvel autostart needs off or status");
}

TEST(ScreenshotPath, PicturesFolderThenHomeAndAFreeTimeStampedName) {
  EXPECT_EQ(*screenshotFolder({"/data/shots/", "/home/ann"}), "/data/shots");
  EXPECT_EQ(*screenshotFolder({std::nullopt, "/home/ann"}), "/home/ann/Pictures");
  // A relative XDG_PICTURES_DIR is not a valid setting.
  EXPECT_EQ(*screenshotFolder({"Pictures", "/home/ann"}), "/home/ann/Pictures");
  EXPECT_FALSE(screenshotFolder({std::nullopt, std::nullopt}));

  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 4;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  const std::string first = "/p/Screenshot-2026-03-04-090507.png";
  EXPECT_EQ(screenshotPath("/p", t, [](const std::string&) { return false; }), first);
  const std::vector<std::string> taken = {first, "/p/Screenshot-2026-03-04-090507-2.png"};
  EXPECT_EQ(screenshotPath("/p", t,
                           [&](const std::string& p) {
                             return std::find(taken.begin(), taken.end(), p) != taken.end();
                           }),
            "/p/Screenshot-2026-03-04-090507-3.png");
}

TEST(HelperPaths, EnvironmentThenBesideThenLibexecThenTheBuildTree) {
  auto only = [](std::string path) { return [path](const std::string& p) { return p == path; }; };
  EXPECT_EQ(helperPath(kScrollHelper, "/usr/bin", "/opt/h", only("")), "/opt/h");
  EXPECT_EQ(helperPath(kScrollHelper, "/usr/bin", std::nullopt,
                       only("/usr/bin/../libexec/orvel/scroll-capture-helper")),
            "/usr/bin/../libexec/orvel/scroll-capture-helper");
  EXPECT_EQ(helperPath(kTextHelper, "/b/orvel", std::nullopt,
                       only("/b/orvel/../text-recognition/text-recognition-helper")),
            "/b/orvel/../text-recognition/text-recognition-helper");
  EXPECT_EQ(
      helperPath(kRegionHelper, "/usr/bin", std::nullopt, only("/usr/bin/region-capture-helper")),
      "/usr/bin/region-capture-helper");
  EXPECT_EQ(helperPath(kRegionHelper, "/usr/bin", std::nullopt, only("")),
            "/usr/bin/../libexec/orvel/region-capture-helper");
}

TEST(Clipboard, TheDesktopsOwnToolOrNone) {
  auto installed = [](std::vector<std::string> tools) {
    return [tools](const std::string& name) -> std::optional<std::string> {
      if (std::find(tools.begin(), tools.end(), name) == tools.end()) return std::nullopt;
      return "/usr/bin/" + name;
    };
  };
  using Cmd = std::vector<std::string>;
  EXPECT_EQ(clipboardCommand({true, true}, installed({"wl-copy", "xclip"})),
            Cmd{"/usr/bin/wl-copy"});
  EXPECT_EQ(clipboardCommand({true, true}, installed({"xclip"})),
            (Cmd{"/usr/bin/xclip", "-selection", "clipboard"}));
  EXPECT_EQ(clipboardCommand({false, true}, installed({"wl-copy"})), std::nullopt);
  EXPECT_EQ(clipboardCommand({true, false}, installed({"xclip"})), std::nullopt);
  // Pictures go as PNG.
  constexpr auto kPng = ClipboardContent::kPng;
  EXPECT_EQ(clipboardCommand({true, true}, installed({"wl-copy", "xclip"}), kPng),
            (Cmd{"/usr/bin/wl-copy", "--type", "image/png"}));
  EXPECT_EQ(clipboardCommand({false, true}, installed({"wl-copy", "xclip"}), kPng),
            (Cmd{"/usr/bin/xclip", "-selection", "clipboard", "-t", "image/png"}));
  EXPECT_EQ(clipboardCommand({true, true}, installed({}), kPng), std::nullopt);
}

}  // namespace
}  // namespace orvel::cli
