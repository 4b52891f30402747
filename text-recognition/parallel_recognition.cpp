#include "parallel_recognition.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "band.h"
#include "row_cuts.h"

namespace orvel::ocr {
namespace {

using platform::RecognizerFailure;
using platform::RecognizerResult;

struct PreparedBand {
  Band band;
  std::unique_ptr<platform::RecognitionImage> picture;
};

struct Part {
  std::shared_ptr<const PreparedBand> band;
  RowSpan rows;
  std::size_t order = 0;  // band by band, top to bottom
};

struct PartLines {
  std::size_t order = 0;
  RecognizerResult<std::vector<Line>> lines;
};

// Hands out parts band by band. When none is waiting, one thread prepares the next band while the
// others wait for it: bands are decoded in order, one at a time, and a band's picture lives only
// while parts of it are being recognised.
class PartQueue {
 public:
  PartQueue(platform::TextRecognizer& recognizer, const platform::RecognitionImage& image,
            int partsPerBand)
      : recognizer_(recognizer),
        image_(image),
        bands_(bandsFor(image.width(), image.height())),
        partsPerBand_(partsPerBand) {}

  // Prepares bands until `count` parts wait or every band is prepared; the parts waiting then,
  // and whether bands are left.
  std::pair<std::size_t, bool> fill(std::size_t count) {
    std::unique_lock lock(mutex_);
    while (parts_.size() < count && nextBand_ < bands_.size())
      prepareNext(lock);
    return {parts_.size(), nextBand_ < bands_.size()};
  }

  // The next part; none once every part is handed out or after stop().
  std::optional<Part> next() {
    std::unique_lock lock(mutex_);
    while (!stopped_) {
      if (!parts_.empty()) {
        Part part = std::move(parts_.front());
        parts_.pop_front();
        return part;
      }
      if (preparing_) {
        ready_.wait(lock);
      } else if (nextBand_ < bands_.size()) {
        prepareNext(lock);
      } else {
        break;
      }
    }
    return std::nullopt;
  }

  void stop() {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    parts_.clear();
  }

 private:
  // Prepares outside the lock; the flag keeps a second thread from preparing meanwhile.
  void prepareNext(std::unique_lock<std::mutex>& lock) {
    preparing_ = true;
    const Band band = bands_[nextBand_++];
    lock.unlock();
    auto prepared =
        std::make_shared<PreparedBand>(PreparedBand{band, recognizer_.prepare(image_, band.rect)});
    std::vector<RowSpan> spans;
    if (prepared->picture) {
      spans = cutIntoParts(recognizer_.rowHistograms(*prepared->picture), partsPerBand_);
    }
    lock.lock();
    for (const RowSpan& rows : spans)
      parts_.push_back({prepared, rows, nextOrder_++});
    preparing_ = false;
    ready_.notify_all();
  }

  platform::TextRecognizer& recognizer_;
  const platform::RecognitionImage& image_;
  const std::vector<Band> bands_;
  const int partsPerBand_;

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Part> parts_;
  std::size_t nextBand_ = 0;
  std::size_t nextOrder_ = 0;
  bool preparing_ = false;
  bool stopped_ = false;
};

RecognizerResult<std::vector<Line>> linesOf(platform::TextRecognizer& recognizer, const Part& part,
                                            int engine) {
  const Band& band = part.band->band;
  const int width = part.band->picture->width();
  const int height = part.rows.end - part.rows.start;
  auto observations =
      recognizer.recognizePart(*part.band->picture, {0, part.rows.start, width, height}, engine);
  if (auto* failed = std::get_if<RecognizerFailure>(&observations)) return *failed;
  std::vector<Line> lines;
  for (const auto& observation : std::get<std::vector<platform::TextObservation>>(observations)) {
    const double y =
        (1.0 - observation.boundingBox.midY()) * height + part.rows.start + band.rect.y;
    if (!band.owns(y) || !observation.topCandidate) continue;
    const double x = band.rect.x + observation.boundingBox.minX() * band.rect.width;
    lines.push_back({y, x, *observation.topCandidate});
  }
  return lines;
}

void work(platform::TextRecognizer& recognizer, PartQueue& queue, int engine,
          std::vector<PartLines>& done) {
  while (const std::optional<Part> part = queue.next()) {
    done.push_back({part->order, linesOf(recognizer, *part, engine)});
    if (std::holds_alternative<RecognizerFailure>(done.back().lines)) queue.stop();
  }
}

}  // namespace

RecognizerResult<std::vector<Line>> recognizeInParts(platform::TextRecognizer& recognizer,
                                                     const platform::RecognitionImage& image,
                                                     int engines) {
  PartQueue queue(recognizer, image, engines);
  const auto [waiting, bandsLeft] = queue.fill(static_cast<std::size_t>(engines));
  const int threads = bandsLeft ? engines : std::min(engines, static_cast<int>(waiting));
  if (threads == 0) return std::vector<Line>{};
  recognizer.setEngineCount(threads);

  // Engine 0 runs on this thread; each other engine on a thread of its own, writing only its own
  // list until it is joined.
  std::vector<std::vector<PartLines>> done(static_cast<std::size_t>(threads));
  std::vector<std::thread> workers;
  for (int engine = 1; engine < threads; ++engine) {
    try {
      workers.emplace_back(work, std::ref(recognizer), std::ref(queue), engine,
                           std::ref(done[static_cast<std::size_t>(engine)]));
    } catch (const std::system_error&) {
      break;  // the engines that started share the parts
    }
  }
  work(recognizer, queue, 0, done[0]);
  for (std::thread& worker : workers)
    worker.join();

  std::vector<PartLines> all;
  for (std::vector<PartLines>& engineDone : done)
    std::move(engineDone.begin(), engineDone.end(), std::back_inserter(all));
  std::sort(all.begin(), all.end(),
            [](const PartLines& a, const PartLines& b) { return a.order < b.order; });
  std::vector<Line> lines;
  for (PartLines& part : all) {
    if (auto* failed = std::get_if<RecognizerFailure>(&part.lines)) return *failed;
    auto& found = std::get<std::vector<Line>>(part.lines);
    std::move(found.begin(), found.end(), std::back_inserter(lines));
  }
  return lines;
}

}  // namespace orvel::ocr
