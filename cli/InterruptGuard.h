#pragma once

namespace halvarin::cli {

// While one exists, Ctrl+C (SIGINT) no longer ends the program on the spot,
// which would leave a half-written temporary file behind: it only raises a
// flag, which the archive's progress reports look at every few megabytes to
// stop the operation the way any failure stops it. Outside these stretches
// Ctrl+C keeps its usual effect; there is nothing to clean up then. A
// program started with Ctrl+C ignored (a background job) keeps ignoring it.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // Whether Ctrl+C came while a guard was up.
  static bool Requested();

 private:
  void (*previous_)(int);
};

}  // namespace halvarin::cli
