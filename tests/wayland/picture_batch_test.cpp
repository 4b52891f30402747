// The pictures of one moment, each handed to its display's call once and only while fresh. Pure
// logic.
#include <gtest/gtest.h>

#include "platform/wayland/picture_batch.h"

namespace orvel::wayland {
namespace {

using namespace std::chrono_literals;

PictureBatch::Pictures twoDisplays() {
  PictureBatch::Pictures pictures;
  pictures.emplace(7, Image(2, 1));
  pictures.emplace(9, Image(3, 1));
  return pictures;
}

TEST(PictureBatchTest, OneMomentServesEachDisplayOnceWhileFresh) {
  PictureBatch batch;
  const PictureBatch::TimePoint t0{};
  int moments = 0;
  const PictureBatch::TakeAll takeAll =
      [&]() -> Expected<PictureBatch::Pictures, platform::PlatformError> {
    ++moments;
    return twoDisplays();
  };
  // The first display's call takes the moment; the second's finds its picture waiting.
  auto first = batch.takeOrTakeAll(7, t0, takeAll);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->width(), 2);
  auto second = batch.takeOrTakeAll(9, t0 + 100ms, takeAll);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->width(), 3);
  EXPECT_EQ(moments, 1);
  // Taken pictures are gone: the next capture takes a new moment.
  EXPECT_TRUE(batch.takeOrTakeAll(7, t0 + 200ms, takeAll));
  EXPECT_EQ(moments, 2);
  // A picture left waiting longer than the batch lives is not handed out.
  EXPECT_FALSE(batch.take(9, t0 + 200ms + kBatchLifetime + 1ms));
}

TEST(PictureBatchTest, FailuresAndMissingDisplaysAreTheCallersAnswer) {
  PictureBatch batch;
  const PictureBatch::TimePoint t0{};
  auto refused =
      batch.takeOrTakeAll(7, t0, []() -> Expected<PictureBatch::Pictures, platform::PlatformError> {
        return unexpected(platform::PlatformError{"The compositor is not reachable."});
      });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().description, "The compositor is not reachable.");
  auto missing = batch.takeOrTakeAll(
      8, t0,
      []() -> Expected<PictureBatch::Pictures, platform::PlatformError> { return twoDisplays(); });
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().description, "The display is not available.");
  // The moment taken for the missing display still serves the others.
  EXPECT_TRUE(batch.take(9, t0 + 10ms));
}

}  // namespace
}  // namespace orvel::wayland
