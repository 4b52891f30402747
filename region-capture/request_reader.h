// Reads request lines from a file descriptor on its own thread and hands each one to the loop.
// Over-long lines are dropped here; the end of input is handed over last.
#pragma once

#include <functional>
#include <string>
#include <thread>

#include "orvel/common/event_loop.h"

namespace orvel::region {

class RequestReader {
 public:
  using LineHandler = std::function<void(std::string line)>;
  using EndHandler = std::function<void()>;

  // The handlers run on the loop's thread, in the order of the input.
  RequestReader(EventLoop& loop, int fd, LineHandler onLine, EndHandler onEnd);

  // Waits for the thread, which ends at the end of input. The helper process exits without
  // destroying its reader, so that a read blocked on a quiet host never delays the exit.
  ~RequestReader();
  RequestReader(const RequestReader&) = delete;
  RequestReader& operator=(const RequestReader&) = delete;

  void start();

 private:
  EventLoop& loop_;
  int fd_;
  LineHandler onLine_;
  EndHandler onEnd_;
  std::thread thread_;
};

}  // namespace orvel::region
