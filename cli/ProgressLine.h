#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace halvarin::cli {

// A line on a terminal that tells how far a long operation has come:
// "halvarin-grp: extracting 45% (460 of 1024 MiB)". It appears only once the
// operation has run for a second, changes at most ten times a second, and is
// wiped when the operation ends, so quick commands print nothing.
class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  ProgressLine(std::ostream& out, bool enabled, std::string doing,
               Clock clock = &std::chrono::steady_clock::now);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine();

  void Report(int64_t done, int64_t total);

 private:
  std::ostream& out_;
  bool enabled_;
  std::string doing_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
  bool shown_ = false;
};

}  // namespace halvarin::cli
