#include "ProgressLine.h"

namespace halvarin::cli {

namespace {

constexpr auto kQuiet = std::chrono::seconds(1);
constexpr auto kInterval = std::chrono::milliseconds(100);

std::string Mebibytes(int64_t bytes) {
  return std::to_string(bytes >> 20);
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool enabled, std::string doing, Clock clock)
    : out_(out), enabled_(enabled), doing_(std::move(doing)), clock_(std::move(clock)) {
  if (enabled_) {
    start_ = clock_();
  }
}

ProgressLine::~ProgressLine() {
  if (shown_) {
    out_ << "\r\033[K" << std::flush;
  }
}

void ProgressLine::Report(int64_t done, int64_t total) {
  if (!enabled_) {
    return;
  }
  const auto now = clock_();
  if (now - start_ < kQuiet || (shown_ && now - last_ < kInterval)) {
    return;
  }
  last_ = now;
  shown_ = true;
  const int64_t percent = total > 0 ? done * 100 / total : 100;
  out_ << "\rhalvarin-grp: " << doing_ << ' ' << percent << "% (" << Mebibytes(done) << " of "
       << Mebibytes(total) << " MiB)\033[K" << std::flush;
}

}  // namespace halvarin::cli
