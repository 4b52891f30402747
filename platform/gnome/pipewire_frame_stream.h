// Reads video frames of one PipeWire node (a screen-cast stream) in shared-memory buffers and
// turns them into pictures: premultiplied BGRA, opaque. PipeWire's data thread copies each frame
// and gives its buffer straight back, so the service never runs out of buffers while the helper's
// loop waits; the loop thread hears of the newest one while it runs. Loop thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/image.h"
#include "orvel/common/task.h"
#include "platform/gnome/pipewire_connection.h"

namespace orvel::gnome {

class PipeWireFrameStream {
 public:
  // Connects to `node`; frames start coming once the formats are agreed.
  static Expected<std::unique_ptr<PipeWireFrameStream>, Failure> connect(
      PipeWireConnection& pipewire, std::uint32_t node);
  ~PipeWireFrameStream();
  PipeWireFrameStream(const PipeWireFrameStream&) = delete;
  PipeWireFrameStream& operator=(const PipeWireFrameStream&) = delete;

  // The newest whole frame not taken yet; when none came since the last one taken, the next one
  // that arrives, waiting at most `deadline`. (mutter sends a frame when the stream starts and
  // then only when the screen changes.)
  Task<Expected<Image, Failure>> nextFrame(Duration deadline);
  // The newest whole frame not taken yet, without waiting; nothing when none came since the last.
  std::optional<Image> takeUnread();
  // Whether the stream failed or the service let it go: no frame will come any more.
  bool broken() const;

  struct Impl;

 private:
  explicit PipeWireFrameStream(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvel::gnome
