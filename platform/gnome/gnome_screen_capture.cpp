#include "platform/gnome/gnome_screen_capture.h"

#include "platform/gnome/monitor_pictures.h"
#include "platform/gnome/mutter_service.h"
#include "platform/gnome/pipewire_connection.h"
#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// The shell renders the monitors before the first frames come: generous for a loaded machine,
// still bounded.
constexpr auto kCaptureDeadline = 5s;
// How long the prepared recording's frames are read at a time while no call waits.
constexpr auto kReadingSlice = 50ms;

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
    : connection_(wayland::WaylandConnection::open(display)),
      worker_(std::make_unique<SerialWorker>()) {}

GnomeScreenCapture::~GnomeScreenCapture() {
  wanted_ = 0;
  onWorker([this] {
    endRecording();
    session_.close();
    connection_.reset();
  });
  worker_.reset();
}

template <class F>
auto GnomeScreenCapture::onWorker(F job) -> decltype(job()) {
  // Once the job is queued, a slice of reading frames that runs now ends early for it.
  return worker_->call(std::move(job), [this] { session_.loop().post([] {}); });
}

std::optional<std::string> GnomeScreenCapture::whyNotAvailable() {
  return onWorker([this]() -> std::optional<std::string> {
    return whyScreenCastUnavailable(connection_.get(), session_);
  });
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
  pipewire_.reset();
}

void GnomeScreenCapture::endRecordingNext() {
  auto recording = std::make_shared<std::unique_ptr<MonitorRecording>>(std::move(prepared_));
  auto connection = std::make_shared<std::unique_ptr<PipeWireConnection>>(std::move(pipewire_));
  worker_->post([recording, connection] {
    recording->reset();
    connection->reset();
  });
}

bool GnomeScreenCapture::prepared() {
  return onWorker([this] { return prepared_ != nullptr; });
}

PipeWireConnection* GnomeScreenCapture::pipewire() {
  if (!pipewire_) {
    auto opened = PipeWireConnection::open(session_.loop());
    if (opened) pipewire_ = std::move(*opened);
  }
  return pipewire_.get();
}

void GnomeScreenCapture::prepare(std::uint64_t hold) {
  if (wanted_ != hold || !session_.bus() || !pipewire()) return;
  // An earlier hold's recording, still whole, serves this one as well.
  if (!prepared_ || prepared_->over()) {
    prepared_.reset();
    auto opened =
        session_.run(MonitorRecording::open(*session_.bus(), *pipewire_, kCaptureDeadline));
    // A hold that went meanwhile leaves nothing behind; a failure shows again at the capture.
    std::unique_ptr<MonitorRecording> recording = opened ? std::move(*opened) : nullptr;
    if (recording && wanted_ == hold) prepared_ = std::move(recording);
    recording.reset();
    if (!prepared_) endRecording();
  }
  // Until the capture comes the frames are read as they arrive, a slice at a time, each ending
  // early for a call that waits: mutter fills a frame only into a buffer handed back, and one that
  // found none would leave the capture a picture older than the screen.
  EventLoop& loop = session_.loop();
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

Expected<platform::ShareableContent, platform::PlatformError> GnomeScreenCapture::shareableContent(
    bool, bool) {
  return onWorker([this] { return wayland::composedOutputsAsContent(connection_.get()); });
}

Expected<wayland::PictureBatch::Pictures, platform::PlatformError>
GnomeScreenCapture::captureAll() {
  if (!pipewire()) return failed("Cannot reach the PipeWire daemon.");
  std::uint64_t served = wanted_;
  if (prepared_ && prepared_->over()) prepared_.reset();
  if (!prepared_) {
    auto opened =
        session_.run(MonitorRecording::open(*session_.bus(), *pipewire_, kCaptureDeadline));
    if (opened) prepared_ = std::move(*opened);
    if (!opened) {
      endRecording();
      return failed(opened.error().description);
    }
  }
  auto pictures = session_.run(prepared_->pictures(kCaptureDeadline));
  // The pictures are in (or never will be): the recording ends as the worker's next job, once the
  // caller has them, and the hold that asked for it wants no other.
  endRecordingNext();
  wanted_.compare_exchange_strong(served, 0);
  if (!pictures) return failed(pictures.error().description);
  wayland::PictureBatch::Pictures out;
  for (MonitorPicture& p : *pictures) {
    for (const auto& o : connection_->outputs()) {
      if (o->name == p.monitor.connector) out.emplace(o->globalName, std::move(p.picture));
    }
  }
  return out;
}

Expected<Image, platform::PlatformError> GnomeScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  return onWorker([&, this]() -> Expected<Image, platform::PlatformError> {
    if (!connection_ || !connection_->ok()) return failed(wayland::kCompositorNotReachable);
    if (!session_.bus()) return failed("The session bus is not reachable.");
    if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
    auto picture = batch_.takeOrTakeAll(
        filter.displayID, std::chrono::steady_clock::now(),
        [&]() -> Expected<wayland::PictureBatch::Pictures, platform::PlatformError> {
          if (!connection_->roundtrip()) return failed(wayland::kCompositorNotReachable);
          if (!connection_->findOutput(filter.displayID))
            return failed("The display is not available.");
          return captureAll();
        });
    if (!picture) return picture;
    const wayland::WaylandOutput* output = connection_->findOutput(filter.displayID);
    return wayland::configuredPicture(std::move(picture).value(),
                                      output ? output->logical.width : 0, config);
  });
}

}  // namespace orvel::gnome
