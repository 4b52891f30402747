#include "platform/wayland/picture_batch.h"

namespace orvel::wayland {

std::optional<Image> PictureBatch::take(std::uint32_t id, TimePoint now) {
  if (now - taken_ > kBatchLifetime) pictures_.clear();
  auto found = pictures_.find(id);
  if (found == pictures_.end()) return std::nullopt;
  Image picture = std::move(found->second);
  pictures_.erase(found);
  return picture;
}

Expected<Image, platform::PlatformError> PictureBatch::takeOrTakeAll(std::uint32_t id,
                                                                     TimePoint now,
                                                                     const TakeAll& takeAll) {
  if (auto picture = take(id, now)) return std::move(*picture);
  auto pictures = takeAll();
  if (!pictures) return unexpected(std::move(pictures).error());
  refill(std::move(pictures).value(), now);
  if (auto picture = take(id, now)) return std::move(*picture);
  return unexpected(platform::PlatformError{"The display is not available."});
}

}  // namespace orvel::wayland
