// Jobs run one after another, in the order posted, on a thread of this object's own: for a port
// whose work must stay on one thread (PipeWire's loop belongs to the thread that entered it) while
// its calls come from several, and for work started from the loop thread that must not block it
// (opening a screen cast ahead of a capture). post() and call() from any thread but the worker's;
// the destructor runs the jobs still queued, then joins.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace orvel::gnome {

class SerialWorker {
 public:
  SerialWorker();
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  void post(std::function<void()> job);
  // Runs `job` on the worker after what is queued and returns its result; `queued`, when given,
  // runs on the calling thread once the job is queued. Not from a job.
  template <class F>
  auto call(F job, const std::function<void()>& queued = {}) -> decltype(job()) {
    // The job keeps the task: it is still running when the caller has its result.
    auto task = std::make_shared<std::packaged_task<decltype(job())()>>(std::move(job));
    auto result = task->get_future();
    post([task] { (*task)(); });
    if (queued) queued();
    return result.get();
  }
  // Whether jobs wait for their turn: a long job ends early for them. Any thread.
  bool pending();

 private:
  void run();

  std::mutex mutex_;  // guards jobs_ and stopping_
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the rest is there
};

}  // namespace orvel::gnome
