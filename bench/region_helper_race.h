// The region-capture helper's side of the races: the helper running on the race's desktop and
// watched, one capture a prepare and a capture request answered by the user's drag, timed from
// the release to the PNG renamed into place (seen by inotify). The helper has frozen the screens
// by then, as it has when a user lets go of the button.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "child_process.h"
#include "race_timing.h"

namespace orvel::bench {

// The user's hand on the race's desktop: `awaitFreeze` returns once a drag may start after the
// helper was asked for a capture (false when none can), `moveTo` and `button` drive the pointer.
struct RaceHand {
  std::function<bool()> awaitFreeze;
  std::function<void(int x, int y)> moveTo;
  std::function<void(bool down)> button;
};

class RegionHelperRace {
 public:
  // The helper with `environment` added to the bench's own, writing into `folder`; with a
  // `traceFile`, its trace (ORVEL_CAPTURE_TRACE) is appended there.
  RegionHelperRace(const std::map<std::string, std::string>& environment, std::string folder,
                   const std::string& traceFile = {})
      : folder_(std::move(folder)) {
    testsupport::ChildProcess::Options o;
    o.environment = environment;
    std::vector<std::string> argv = {ORVEL_REGION_HELPER};
    if (!traceFile.empty()) {
      o.environment["ORVEL_CAPTURE_TRACE"] = "1";
      argv = {"sh", "-c", "exec \"$0\" 2>>\"$1\"", ORVEL_REGION_HELPER, traceFile};
    }
    helper_ = testsupport::ChildProcess::start(argv, o);
    inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ::inotify_add_watch(inotify_, folder_.c_str(), IN_MOVED_TO);
  }
  ~RegionHelperRace() {
    using namespace std::chrono_literals;
    if (helper_) helper_->closeStdin();
    if (helper_) helper_->wait(5s);
    ::close(inotify_);
  }
  RegionHelperRace(const RegionHelperRace&) = delete;
  RegionHelperRace& operator=(const RegionHelperRace&) = delete;

  bool running() const { return helper_ != nullptr; }

  // One capture of `size` at (kRaceLeft, kRaceTop); the time from the release to the file, or < 0.
  double capture(const RaceHand& hand, const RaceSize& size, int round) {
    using namespace std::chrono_literals;
    const std::string name =
        "helper-" + std::to_string(size.width) + "-" + std::to_string(round) + ".png";
    const std::string id = std::to_string(++id_);
    helper_->write(R"({"command":"prepare","id":)" + id + "}\n" + R"({"command":"capture","id":)" +
                   id + R"(,"path":")" + folder_ + "/" + name + "\"}\n");
    if (!hand.awaitFreeze()) return -1;
    hand.moveTo(kRaceLeft, kRaceTop);
    hand.button(true);
    for (int i = 1; i <= 4; ++i)
      hand.moveTo(kRaceLeft + size.width * i / 4, kRaceTop + size.height * i / 4);
    std::this_thread::sleep_for(30ms);
    const auto released = RaceClock::now();
    hand.button(false);
    const bool written = waitForRename(inotify_, name, 10s);
    const double took = ms(RaceClock::now() - released);
    return written && succeeded() ? took : -1;
  }

 private:
  bool succeeded() {
    using namespace std::chrono_literals;
    const auto reply = helper_->readLine(5s);
    return reply && reply->find("\"ok\":true") != std::string::npos;
  }

  std::string folder_;
  std::unique_ptr<testsupport::ChildProcess> helper_;
  int inotify_ = -1;
  int id_ = 0;
};

// The helper's times as the races print them: whole milliseconds after a space each.
inline std::string samplesText(const std::vector<double>& times) {
  std::string text;
  for (double t : times)
    text += " " + std::to_string(static_cast<int>(t + 0.5));
  return text;
}

}  // namespace orvel::bench
