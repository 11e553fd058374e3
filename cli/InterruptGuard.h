#pragma once

#include <csignal>

namespace halvarin::cli {

// While one exists, Ctrl+C (SIGINT), SIGTERM (`timeout`, a service manager)
// and SIGHUP (the terminal closed) no longer end the program on the spot,
// which would leave a half-written temporary file and the lock file behind:
// they only raise a flag, which the archive's progress reports look at every
// few megabytes to stop the operation the way any failure stops it.
// Outside these stretches the signals keep their usual effect; there is
// nothing to clean up then. A signal the program was started with ignored
// (Ctrl+C in a background job, SIGHUP under nohup) stays ignored.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // Whether one of them came while a guard was up.
  static bool Requested();
  // Which one came (the first), 0 for none.
  static int Signal();

 private:
  static constexpr int kCount = 3;
  void (*previous_[kCount])(int);
};

}  // namespace halvarin::cli
