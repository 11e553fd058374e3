#include "LengthyWork.h"

#include <exception>
#include <utility>

namespace halvarin {

LengthyWork::LengthyWork(Work work, std::function<void()> finished)
    : result_(outcome_.get_future()) {
  worker_ = std::thread([this, work = std::move(work), finished = std::move(finished)] {
    std::exception_ptr failure;
    try {
      work([this](int64_t done, int64_t total) { return Report(done, total); });
    } catch (...) {
      failure = std::current_exception();
    }
    if (finished) {
      finished();
    }
    if (failure) {
      outcome_.set_exception(failure);
    } else {
      outcome_.set_value();
    }
  });
}

LengthyWork::~LengthyWork() {
  // Should showing the window fail, the operation is stopped, not abandoned.
  if (worker_.joinable()) {
    Cancel();
    worker_.join();
  }
}

bool LengthyWork::Report(int64_t done, int64_t total) {
  done_.store(done, std::memory_order_relaxed);
  total_.store(total, std::memory_order_relaxed);
  if (total >= 0 && done == total) {
    int expected = kRunning;
    state_.compare_exchange_strong(expected, kCommitted);
  }
  return state_.load() != kCancelling;
}

bool LengthyWork::Cancel() {
  int expected = kRunning;
  return state_.compare_exchange_strong(expected, kCancelling) || expected == kCancelling;
}

bool LengthyWork::WaitQuietly() {
  return result_.wait_for(kQuietTime) == std::future_status::ready;
}

bool LengthyWork::Finished() const {
  return result_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void LengthyWork::Wait() const {
  if (result_.valid()) {
    result_.wait();
  }
}

void LengthyWork::Finish() {
  worker_.join();
  result_.get();
}

}  // namespace halvarin
