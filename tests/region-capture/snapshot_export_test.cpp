#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "helper_rig.h"
#include "messages.h"
#include "png_file.h"
#include "region_composition.h"
#include "temp_folder.h"

namespace orvel::region::testing {
namespace {

using sim::simPixel;

struct CaptureRig : HelperRig {
  explicit CaptureRig(std::vector<sim::SimDisplay> displays = {{1, {0, 0, 400, 300}, 1},
                                                               {2, {400, 0, 400, 300}, 2}})
      : HelperRig(false) {
    desktop.setDisplays(std::move(displays));
    start();
    request({{"command", "prepare"}, {"id", 3}});
  }
  void capture(const std::string& path) {
    request({{"command", "capture"}, {"id", 3}, {"path", path}});
  }
  Json error(const std::string& message) const {
    return {{"id", 3}, {"ok", false}, {"error", message}};
  }
  TempFolder folder;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Snapshot, ExportsTheRegionAfterBothTheFreezeAndTheRelease) {
  CaptureRig rig;
  const std::string path = rig.folder.file("shot.png");
  rig.capture(path);
  auto session = rig.helper.active();
  ASSERT_EQ(session->frames.size(), 2u);
  EXPECT_TRUE(rig.lines.empty()) << "not released yet";
  const auto& shown = rig.overlay.panels().at(1)->content;
  ASSERT_TRUE(shown.picture);
  EXPECT_EQ(shown.picture, session->frames[1].image)
      << "the second screen shows its own frozen picture";
  EXPECT_EQ(shown.picture->width(), 800);
  EXPECT_EQ(shown.veil, (platform::Color{0, 0, 0, 0.22}));

  rig.dragThroughShield({250, 50}, {550.0, 250});
  ASSERT_EQ(rig.lastReply(),
            Json({{"id", 3},
                  {"ok", true},
                  {"region", {{"x", 250}, {"y", 50}, {"width", 300}, {"height", 200}}}}));
  EXPECT_EQ(rig.lines[0].find("250.0"), std::string::npos) << "whole numbers stay whole";
  const auto png = readPng(path);
  ASSERT_TRUE(png);
  ASSERT_EQ(png->width, 600);
  ASSERT_EQ(png->height, 400);
  EXPECT_EQ(png->pixelsPerMetre, 5669u) << "144 DPI";
  int wrong = 0;
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 600; ++x) {
      // The scale-1 half is enlarged twice; the scale-2 half is copied.
      const std::uint32_t want =
          x < 300 ? simPixel(1, 250 + x / 2, 50 + y / 2) : simPixel(2, x - 300, 100 + y);
      wrong += png->at(x, y) != rgbaOf(want);
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(rig.folder.entries(), std::vector<std::string>{"shot.png"});
}

TEST(Snapshot, ReleaseBeforeCaptureWaitsAndASecondCaptureIsIgnored) {
  CaptureRig rig;
  rig.dragThroughShield({10, 10}, {13, 13});
  EXPECT_TRUE(rig.lines.empty());
  rig.capture(rig.folder.file("first.png"));
  rig.capture(rig.folder.file("second.png"));
  ASSERT_EQ(rig.lastReply()["region"], Json({{"x", 10}, {"y", 10}, {"width", 3}, {"height", 3}}));
  EXPECT_EQ(rig.desktop.captureCount(), 2);
  EXPECT_EQ(rig.folder.entries(), std::vector<std::string>{"first.png"});
  const auto png = readPng(rig.folder.file("first.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 3);
  EXPECT_EQ(png->pixelsPerMetre, 2835u) << "72 DPI";
  EXPECT_EQ(png->at(2, 1), rgbaOf(simPixel(1, 12, 11)));
}

TEST(Snapshot, SelectionsUpToTwoPointsWideOrTallAreCancelled) {
  for (Point end : {Point{12, 60}, Point{60, 12}, Point{10, 10}}) {
    CaptureRig rig;
    rig.capture(rig.folder.file("x.png"));
    rig.dragThroughShield({10, 10}, end);
    EXPECT_EQ(rig.lastReply(), Json({{"id", 3}, {"ok", true}, {"canceled", true}}));
    EXPECT_TRUE(rig.folder.entries().empty());
  }
}

TEST(Snapshot, EscapeWhileFreezingDropsTheLatePictures) {
  CaptureRig rig;
  rig.desktop.setCaptureGate(false);
  rig.helper.receiveLine(
      Json({{"command", "capture"}, {"id", 3}, {"path", rig.folder.file("x.png")}}).dump());
  auto session = rig.helper.active();
  rig.shield.key(platform::kEscapeKeyCode);
  ASSERT_TRUE(rig.loop.runUntil([&] { return !rig.lines.empty(); }));
  EXPECT_EQ(rig.lastReply(), Json({{"id", 3}, {"ok", true}, {"canceled", true}}));
  rig.desktop.setCaptureGate(true);
  rig.run();
  // A worker that starts after the Escape takes no picture at all.
  EXPECT_LE(rig.desktop.captureCount(), 2);
  EXPECT_TRUE(session->frames.empty());
  EXPECT_EQ(rig.lines.size(), 1u);
  EXPECT_TRUE(rig.folder.entries().empty());
}

TEST(Snapshot, ABurstOfCapturesGivenUpTakesOnlyTheFirstAndTheLastPictures) {
  CaptureRig rig;
  rig.desktop.setCaptureGate(false);
  constexpr int kRounds = 50;
  for (int id = 3; id < 3 + kRounds; ++id) {
    if (id > 3) rig.helper.receiveLine(Json({{"command", "prepare"}, {"id", id}}).dump());
    rig.helper.receiveLine(
        Json({{"command", "capture"}, {"id", id}, {"path", rig.folder.file("burst.png")}}).dump());
  }
  // Every capture but the last is cancelled while the first one's pictures are still being taken.
  ASSERT_TRUE(rig.loop.runUntil([&] { return rig.lines.size() == kRounds - 1; }));
  rig.desktop.setCaptureGate(true);
  ASSERT_TRUE(rig.loop.runUntil([&] { return rig.helper.active()->frames.size() == 2; }));
  // Two displays for the last capture, and two for the first unless its workers saw it cancelled.
  EXPECT_LE(rig.desktop.captureCount(), 4);
  rig.dragThroughShield({250, 50}, {550.0, 250});
  EXPECT_EQ(rig.lastReply()["id"], 3 + kRounds - 1);
  EXPECT_EQ(rig.lastReply()["ok"], true);
  EXPECT_EQ(rig.folder.entries(), std::vector<std::string>{"burst.png"});
}

TEST(Snapshot, FailuresEndTheCaptureWithTheirMessage) {
  {
    CaptureRig rig;
    rig.desktop.screenRecording = false;
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(
        rig.lastReply(),
        Json(
            {{"id", 3}, {"ok", false}, {"permission", true}, {"error", kScreenRecordingRequired}}));
    EXPECT_EQ(rig.overlay.openPanels(), 0);
  }
  {
    // The desktop's own wording when it has one.
    CaptureRig rig;
    rig.desktop.screenRecording = false;
    rig.desktop.denial = "Install the entry that names this helper.";
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), Json({{"id", 3},
                                     {"ok", false},
                                     {"permission", true},
                                     {"error", "Install the entry that names this helper."}}));
  }
  {
    CaptureRig rig;
    rig.desktop.setScale(2, 1);  // after the overlay appeared
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), rig.error(kDisplayConfigurationChanged));
  }
  {
    CaptureRig rig;
    rig.capture(rig.folder.file("x.png"));
    rig.desktop.setScale(2, 1);  // after the freeze
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lastReply(), rig.error(kDisplayConfigurationChanged));
  }
  {
    CaptureRig rig;
    rig.desktop.overrideCaptureSize(std::pair{10, 10});
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), rig.error(kDisplayScalingChanged));
  }
  {
    CaptureRig rig;
    rig.desktop.failCapture("The display was disconnected.");
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), rig.error("The display was disconnected."));
  }
  {
    CaptureRig rig({{1, {0, 0, 8192.5, 10}, 2}});
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), rig.error(kDisplayExceedsLimits));
    EXPECT_EQ(rig.desktop.captureCount(), 0);
  }
  {
    // A failed start-up refresh is not reported; the capture builds its own filters.
    HelperRig failing(false);
    failing.desktop.failShareableContent("declined");
    failing.start();
    failing.desktop.failShareableContent(std::nullopt);
    failing.request({{"command", "prepare"}, {"id", 1}});
    failing.request({{"command", "capture"}, {"id", 1}, {"path", "/nonexistent/x.png"}});
    EXPECT_EQ(failing.helper.active()->frames.size(), 1u);
    failing.desktop.failShareableContent("declined");
    failing.desktop.setScale(1, 2);
    failing.request({{"command", "prepare"}, {"id", 2}});
    failing.request({{"command", "capture"}, {"id", 2}, {"path", "/nonexistent/x.png"}});
    EXPECT_EQ(failing.lastReply(), Json({{"id", 2}, {"ok", false}, {"error", "declined"}}));
  }
}

// Displays that change while the overlay waits for the drag fail the capture at once: on some
// desktops no input reaches an overlay whose display went. A change told but not made leaves the
// capture waiting; a capture only prepared finds out when it is asked to capture.
TEST(Snapshot, DisplaysThatChangeUnderTheOverlayFailTheCaptureAtOnce) {
  {
    CaptureRig rig;
    const std::string path = rig.folder.file("x.png");
    rig.capture(path);
    rig.backend.changeDisplays();
    rig.run();
    EXPECT_TRUE(rig.lines.empty());
    ASSERT_TRUE(rig.helper.active());
    rig.desktop.setDisplays({{1, {0, 0, 400, 300}, 1}});
    rig.backend.changeDisplays();
    rig.run();
    EXPECT_EQ(rig.lastReply(), rig.error(kDisplayConfigurationChanged));
    EXPECT_FALSE(rig.helper.active());
    EXPECT_EQ(rig.overlay.openPanels(), 0);
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lines.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  {
    CaptureRig rig;
    rig.desktop.setDisplays({{1, {0, 0, 400, 300}, 1}});
    rig.backend.changeDisplays();
    rig.run();
    EXPECT_TRUE(rig.lines.empty());
    ASSERT_TRUE(rig.helper.active());
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), rig.error(kDisplayConfigurationChanged));
  }
}

TEST(Snapshot, ACaptureHoldsItsExclusionsFromPrepareToEveryEnd) {
  {
    HelperRig idle;
    EXPECT_EQ(idle.desktop.exclusionHolds(), 0) << "an idle helper keeps nothing";
    idle.desktop.postEvents = false;
    idle.request({{"command", "prepare"}, {"id", 1}});
    EXPECT_EQ(idle.lastReply().value("permission", false), true);
    EXPECT_EQ(idle.desktop.exclusionHolds(), 0);
  }
  {
    CaptureRig rig;
    EXPECT_EQ(rig.desktop.exclusionHolds(), 1) << "from prepare on";
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.desktop.exclusionHolds(), 1) << "while the user selects";
    rig.dragThroughShield({10, 10}, {50, 50});
    EXPECT_EQ(rig.lastReply().value("ok", false), true);
    EXPECT_EQ(rig.desktop.exclusionHolds(), 0) << "exported";
  }
  {
    CaptureRig rig;
    rig.request({{"command", "prepare"}, {"id", 4}});
    EXPECT_EQ(rig.replies().front(), Json({{"id", 3}, {"ok", true}, {"canceled", true}}));
    EXPECT_EQ(rig.desktop.exclusionHolds(), 1) << "replaced: the new capture's hold";
    rig.request({{"command", "cancel"}, {"id", 4}});
    EXPECT_EQ(rig.desktop.exclusionHolds(), 0) << "cancelled";
  }
  {
    CaptureRig rig;
    rig.dragThroughShield({10, 10}, {11, 11});
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply().value("canceled", false), true);
    EXPECT_EQ(rig.desktop.exclusionHolds(), 0) << "too small a selection";
  }
  {
    CaptureRig rig;
    rig.desktop.failCapture("The display was disconnected.");
    rig.capture(rig.folder.file("x.png"));
    EXPECT_EQ(rig.lastReply(), rig.error("The display was disconnected."));
    EXPECT_EQ(rig.desktop.exclusionHolds(), 0) << "failed";
  }
  {
    CaptureRig rig;
    rig.request({{"command", "quit"}});
    EXPECT_EQ(rig.desktop.exclusionHolds(), 0) << "quit";
    CaptureRig ended;
    ended.helper.endOfInput();
    EXPECT_EQ(ended.desktop.exclusionHolds(), 0) << "end of input";
  }
}

TEST(Snapshot, OutputIsLimitedTo16384PixelsASide) {
  // No display alone is that wide at scale 2; a region over two of them is output at scale 2.
  const std::vector<sim::SimDisplay> wide = {{1, {0, 0, 8000, 10}, 1}, {2, {8000, 0, 400, 10}, 2}};
  {
    CaptureRig rig(wide);
    rig.capture(rig.folder.file("x.png"));
    rig.dragThroughShield({0, 0}, {8193, 5});
    EXPECT_EQ(rig.lastReply(), rig.error(kSelectSmallerRegion));
  }
  {
    CaptureRig rig(wide);
    rig.capture(rig.folder.file("x.png"));
    rig.dragThroughShield({0, 0}, {8192, 5});
    EXPECT_EQ(rig.lastReply()["ok"], true);
    const auto png = readPng(rig.folder.file("x.png"));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->width, 16384);
    EXPECT_EQ(png->at(15999, 9), rgbaOf(simPixel(1, 7999, 4)));
    EXPECT_EQ(png->at(16383, 9), rgbaOf(simPixel(2, 383, 9)));
  }
}

TEST(Composition, LimitsTheOutputTo50MegapixelsAndLeavesUncoveredAreasTransparent) {
  EXPECT_EQ(composeRegion({0, 0, 7072, 7072}, {}).error(), failure(kSelectSmallerRegion));
  auto accepted = composeRegion({0, 0, 7071, 7071}, {});
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->pixels.width, 7071);

  // A region reaching past the only display: the part beyond it stays transparent.
  auto picture = std::make_shared<Image>(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      reinterpret_cast<std::uint32_t*>(picture->row(y))[x] = simPixel(9, x, y);
  const auto composed = composeRegion({2, 1, 4, 2}, {{{0, 0, 4, 4}, 1, picture}});
  ASSERT_TRUE(composed);
  const auto* row = reinterpret_cast<const std::uint32_t*>(composed->pixels.row(1));
  EXPECT_EQ(row[0], simPixel(9, 2, 2));
  EXPECT_EQ(row[1], simPixel(9, 3, 2));
  EXPECT_EQ(row[2], 0u);
  EXPECT_EQ(row[3], 0u);
}

TEST(Export, LongNamesAndKeptModesAndNoNulInAPath) {
  TempFolder folder;
  // The longest names a folder takes, and one over it.
  for (std::size_t length : {245, 255}) {
    const std::string path = folder.file(std::string(length - 4, 'n') + ".png");
    CaptureRig rig;
    rig.capture(path);
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lastReply()["ok"], true) << length;
    EXPECT_TRUE(readPng(path)) << length;
  }
  {
    CaptureRig rig;
    rig.capture(folder.file(std::string(252, 'n') + ".png"));
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lastReply(), rig.error(kCannotExportCapture));
  }

  // A replaced picture keeps its mode; a new one gets 0666 less the umask.
  const std::string kept = folder.file("private.png");
  std::ofstream(kept) << "earlier";
  std::filesystem::permissions(
      kept, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string fresh = folder.file("fresh.png");
  const mode_t mask = ::umask(027);
  for (const std::string& path : {kept, fresh}) {
    CaptureRig rig;
    rig.capture(path);
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lastReply()["ok"], true);
  }
  ::umask(mask);
  struct stat st;
  ASSERT_EQ(::stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A NUL in the path would end it early, at a file the host never named.
  const std::string important = folder.file("important.txt");
  std::ofstream(important) << "notes";
  CaptureRig rig;
  rig.capture(important + std::string(1, '\0') + ".png");
  rig.dragThroughShield({10, 10}, {20, 20});
  EXPECT_EQ(rig.lastReply(), rig.error(kCannotExportCapture));
  EXPECT_EQ(readFile(important), "notes");
  EXPECT_EQ(folder.entries(),
            (std::vector<std::string>{"fresh.png", "important.txt", std::string(241, 'n') + ".png",
                                      std::string(251, 'n') + ".png", "private.png"}));
}

TEST(Export, FileProblemsLeaveNoFileBehind) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("taken"));
  for (const std::string& path : {folder.file("missing/x.png"), folder.file("taken"),
                                  std::string("/proc/orvel-capture.png")}) {
    CaptureRig rig;
    rig.capture(path);
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lastReply(), rig.error(kCannotExportCapture)) << path;
  }
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"taken"});
  EXPECT_TRUE(std::filesystem::is_empty(folder.file("taken")));

  // A write that fails half way leaves the earlier file as it was.
  const std::string path = folder.file("kept.png");
  std::ofstream(path) << "earlier picture";
  CaptureRig rig;
  rig.capture(path);
  rlimit saved;
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100;
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  rig.dragThroughShield({10, 10}, {200, 200});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(rig.lastReply(), rig.error(kCannotSavePixels));
  EXPECT_EQ(readFile(path), "earlier picture");
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"kept.png", "taken"}));
}

TEST(Export, NamesOfOtherThanFilesAreRefusedAndLeftAsTheyWere) {
  TempFolder folder;
  const std::string fifo = folder.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string socketPath = folder.file("socket");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::vector<std::string> nodes{fifo, socketPath};
  // A device node of the null device's numbers, where this user may make one.
  const std::string device = folder.file("device");
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) nodes.push_back(device);
  for (const std::string& node : nodes) {
    struct stat before;
    ASSERT_EQ(::lstat(node.c_str(), &before), 0);
    CaptureRig rig;
    rig.capture(node);
    rig.dragThroughShield({10, 10}, {20, 20});
    EXPECT_EQ(rig.lastReply(), rig.error(kCannotExportCapture)) << node;
    struct stat after;
    ASSERT_EQ(::lstat(node.c_str(), &after), 0) << node;
    EXPECT_EQ(after.st_mode, before.st_mode) << node;
    EXPECT_EQ(after.st_ino, before.st_ino) << node;
    EXPECT_EQ(after.st_rdev, before.st_rdev) << node;
  }
  ::close(listener);
  // A link to one is replaced itself; what it named stays.
  const std::string link = folder.file("link.png");
  ASSERT_EQ(::symlink(fifo.c_str(), link.c_str()), 0);
  CaptureRig rig;
  rig.capture(link);
  rig.dragThroughShield({10, 10}, {20, 20});
  EXPECT_EQ(rig.lastReply()["ok"], true);
  struct stat replaced;
  ASSERT_EQ(::lstat(link.c_str(), &replaced), 0);
  EXPECT_TRUE(S_ISREG(replaced.st_mode));
  EXPECT_TRUE(readPng(link));
  struct stat named;
  ASSERT_EQ(::lstat(fifo.c_str(), &named), 0);
  EXPECT_TRUE(S_ISFIFO(named.st_mode));
  // No temporary is left anywhere.
  std::vector<std::string> expected{"device", "fifo", "link.png", "socket"};
  if (nodes.size() == 2) expected.erase(expected.begin());
  EXPECT_EQ(folder.entries(), expected);
}

}  // namespace
}  // namespace orvel::region::testing
