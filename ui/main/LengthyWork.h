#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <thread>

#include "Toolkit.h"

namespace halvarin {

// The part of Toolkit::RunWithProgress that is the same on every toolkit:
// the operation runs on a worker thread of its own while the user-interface
// thread first waits quietly for half a second, handling no event, so that
// a quick operation looks as it always did and no command can slip in; only
// an operation still running then gets a progress window. The two threads
// share nothing but the progress counters, the operation's state and the
// outcome.
//
// The state decides a race that a plain cancel flag would lose: a Cancel
// pressed just after the operation's last report (done == total), when
// nothing can stop it any more, must not be taken for a cancel heard.
// Running becomes either Cancelling (Cancel first) or Committed (the last
// report first, answered true), never both.
//
//   LengthyWork job(work, [&] { wake the window's loop });
//   if (!job.WaitQuietly()) { show the window until Finished(), polling Done()/Total()/Committed()
//   } job.Finish();  // throws what the work threw
class LengthyWork {
 public:
  using Work = std::function<void(const Toolkit::ProgressReport&)>;
  static constexpr std::chrono::milliseconds kQuietTime{500};

  // Starts `work` at once. `finished` runs on the worker thread as its last
  // word, just before the outcome is available: the place to wake the
  // window's event loop.
  explicit LengthyWork(Work work, std::function<void()> finished = {});
  // Asks a work still running to stop, and waits for it.
  ~LengthyWork();
  LengthyWork(const LengthyWork&) = delete;
  LengthyWork& operator=(const LengthyWork&) = delete;

  // Waits up to kQuietTime; true when the work has ended by then.
  bool WaitQuietly();
  bool Finished() const;
  // Waits for the end of the work, leaving its outcome to Finish.
  void Wait() const;
  // The latest report: bytes done and bytes in all; a negative total while
  // the work waits for another program. Both 0 before the first report.
  int64_t Done() const { return done_.load(std::memory_order_relaxed); }
  int64_t Total() const { return total_.load(std::memory_order_relaxed); }
  // Past its last report: the work goes through, whatever is pressed now.
  bool Committed() const { return state_.load() == kCommitted; }
  // The user's Cancel: the next report answers false. Returns whether the
  // work will stop; false once it is committed.
  bool Cancel();
  // Waits for the end of the work and throws whatever it threw.
  void Finish();

 private:
  enum State { kRunning, kCancelling, kCommitted };

  bool Report(int64_t done, int64_t total);

  std::atomic<int64_t> done_{0};
  std::atomic<int64_t> total_{0};
  std::atomic<int> state_{kRunning};
  std::promise<void> outcome_;
  std::future<void> result_;
  std::thread worker_;
};

}  // namespace halvarin
