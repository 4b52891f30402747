#include "platform/gnome/gnome_screen_capture.h"

#include "platform/dbus/answer_deadlines.h"
#include "platform/gnome/monitor_pictures.h"
#include "platform/gnome/pipewire_connection.h"
#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// How long the prepared recording's frames are read at a time while no call waits.
constexpr auto kReadingSlice = 50ms;
// How long the pictures may take before the recording counts as having lost its first frames;
// they usually come within half a second.
constexpr auto kFirstFramesWait = 2s;

}  // namespace

class GnomeScreenCapture::Hold final : public platform::ExclusionHold {
 public:
  Hold(GnomeScreenCapture& capture, std::uint64_t hold) : capture_(capture), hold_(hold) {}
  ~Hold() override { capture_.letGo(hold_); }

 private:
  GnomeScreenCapture& capture_;
  std::uint64_t hold_;
};

GnomeScreenCapture::GnomeScreenCapture(const char* display)
    : ScreenCastPort(display), worker_(std::make_unique<SerialWorker>()) {}

GnomeScreenCapture::~GnomeScreenCapture() {
  wanted_ = 0;
  runSerially([this] {
    endRecording();
    closeAll();
  });
  worker_.reset();
}

void GnomeScreenCapture::runSerially(const std::function<void()>& job) {
  // Once the job is queued, a slice of reading frames that runs now ends early for it.
  worker_->call([&job] { job(); }, [this] { session().loop().post([] {}); });
}

std::unique_ptr<platform::ExclusionHold> GnomeScreenCapture::holdExclusions() {
  const std::uint64_t hold = ++lastHold_;
  wanted_ = hold;
  worker_->post([this, hold] { prepare(hold); });
  return std::make_unique<Hold>(*this, hold);
}

void GnomeScreenCapture::letGo(std::uint64_t hold) {
  std::uint64_t expected = hold;
  if (!wanted_.compare_exchange_strong(expected, 0)) return;
  worker_->post([this] {
    if (wanted_ == 0) endRecording();
  });
}

void GnomeScreenCapture::endRecording() {
  // The stream goes before its connection, and the connection with it: one left unread after its
  // stream ended holds up the first frames of every new screen cast (monitor_pictures.h).
  prepared_.reset();
  closePipeWire();
}

void GnomeScreenCapture::endRecordingNext() {
  auto recording = std::make_shared<std::unique_ptr<MonitorRecording>>(std::move(prepared_));
  auto connection = std::make_shared<std::unique_ptr<PipeWireConnection>>(takePipeWire());
  worker_->post([recording, connection] {
    recording->reset();
    connection->reset();
  });
}

bool GnomeScreenCapture::prepared() {
  return serially([this] { return prepared_ != nullptr; });
}

void GnomeScreenCapture::prepare(std::uint64_t hold) {
  if (wanted_ != hold || !session().bus()) return;
  auto wire = pipewire();
  if (!wire) return;
  // An earlier hold's recording, still whole, serves this one as well.
  if (!prepared_ || prepared_->over()) {
    prepared_.reset();
    auto opened =
        session().run(MonitorRecording::open(*session().bus(), **wire, dbus::kDrawnAnswerDeadline));
    // A hold that went meanwhile leaves nothing behind; a failure shows again at the capture.
    std::unique_ptr<MonitorRecording> recording = opened ? std::move(*opened) : nullptr;
    if (recording && wanted_ == hold) prepared_ = std::move(recording);
    recording.reset();
    if (!prepared_) endRecording();
  }
  // Until the capture comes the frames are read as they arrive, a slice at a time, each ending
  // early for a call that waits: mutter fills a frame only into a buffer handed back, and one that
  // found none would leave the capture a picture older than the screen.
  EventLoop& loop = session().loop();
  while (wanted_ == hold && prepared_ && !prepared_->over() && !worker_->pending()) {
    bool due = false;
    const auto timer = loop.addTimer(kReadingSlice, [&due] { due = true; });
    loop.runUntil([&] { return due || wanted_ != hold || worker_->pending(); });
    loop.cancelTimer(timer);
  }
  // Later jobs read on for it.
  if (wanted_ == hold && prepared_ && !prepared_->over())
    worker_->post([this, hold] { prepare(hold); });
}

Expected<wayland::PictureBatch::Pictures, platform::PlatformError>
GnomeScreenCapture::captureAll() {
  auto wire = pipewire();
  if (!wire) return failed("Cannot reach the PipeWire daemon.");
  std::uint64_t served = wanted_;
  // A new recording of every monitor as the prepared one; nothing is left when it fails.
  auto open = [&]() -> Expected<void, Failure> {
    prepared_.reset();
    auto opened =
        session().run(MonitorRecording::open(*session().bus(), **wire, dbus::kDrawnAnswerDeadline));
    if (!opened) {
      endRecording();
      return unexpected(std::move(opened).error());
    }
    prepared_ = std::move(*opened);
    return {};
  };
  if (!prepared_ || prepared_->over()) {
    if (auto opened = open(); !opened) return failed(opened.error().description);
  }
  auto pictures = session().run(prepared_->pictures(kFirstFramesWait));
  if (!pictures && !prepared_->over() && pictures.error().description != kDisplayChanged) {
    // mutter sends a recording's first frame at its next repaint and, when that one is lost (seen
    // on still screens of loaded machines), no other until the screen changes: a recording opened
    // again asks anew, and on a still screen it shows what the screen showed at the request.
    if (auto opened = open(); !opened) return failed(opened.error().description);
    pictures = session().run(prepared_->pictures(dbus::kDrawnAnswerDeadline));
  }
  // The pictures are in (or never will be): the recording ends as the worker's next job, once the
  // caller has them, and the hold that asked for it wants no other.
  endRecordingNext();
  wanted_.compare_exchange_strong(served, 0);
  if (!pictures) return failed(pictures.error().description);
  wayland::PictureBatch::Pictures out;
  for (MonitorPicture& p : *pictures) {
    for (const auto& o : connection()->outputs()) {
      if (o->name == p.monitor.connector) out.emplace(o->globalName, std::move(p.picture));
    }
  }
  return out;
}

Expected<Image, platform::PlatformError> GnomeScreenCapture::takePicture(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  wayland::WaylandConnection& compositor = *connection();
  auto picture = batch_.takeOrTakeAll(
      filter.displayID, std::chrono::steady_clock::now(),
      [&]() -> Expected<wayland::PictureBatch::Pictures, platform::PlatformError> {
        if (!compositor.roundtrip()) return failed(wayland::kCompositorNotReachable);
        if (!compositor.findOutput(filter.displayID))
          return failed("The display is not available.");
        return captureAll();
      });
  if (!picture) return picture;
  const wayland::WaylandOutput* output = compositor.findOutput(filter.displayID);
  return wayland::configuredPicture(std::move(picture).value(), output ? output->logical.width : 0,
                                    config);
}

}  // namespace orvel::gnome
