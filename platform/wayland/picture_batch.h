// The pictures of one moment: a capture asks for every output at once and hands each display's
// picture to that display's own call, once, for at most kBatchLifetime (after which the next call
// takes a new moment). Pure logic; not thread-safe (its owner guards it).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "orvel/common/expected.h"
#include "orvel/common/image.h"
#include "platform/platform_error.h"

namespace orvel::wayland {

inline constexpr auto kBatchLifetime = std::chrono::seconds(1);

class PictureBatch {
 public:
  using Pictures = std::map<std::uint32_t, Image>;
  using TimePoint = std::chrono::steady_clock::time_point;
  using TakeAll = std::function<Expected<Pictures, platform::PlatformError>()>;

  // The picture of display `id`: from the batch when it holds one, else from a new batch that
  // `takeAll` takes now; "The display is not available." when that has none for it either.
  Expected<Image, platform::PlatformError> takeOrTakeAll(std::uint32_t id, TimePoint now,
                                                         const TakeAll& takeAll);

  // The picture of display `id`, when the batch taken last (no longer than kBatchLifetime before
  // `now`) still holds it; it leaves the batch.
  std::optional<Image> take(std::uint32_t id, TimePoint now);
  // Replaces the batch with pictures taken at `now`.
  void refill(Pictures pictures, TimePoint now) {
    pictures_ = std::move(pictures);
    taken_ = now;
  }

 private:
  Pictures pictures_;
  TimePoint taken_;
};

}  // namespace orvel::wayland
