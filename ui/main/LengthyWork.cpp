#include "LengthyWork.h"

#include <exception>
#include <utility>

namespace halvarin {

LengthyWork::LengthyWork(Work work, std::function<void()> finished)
    : result_(outcome_.get_future()) {
  worker_ = std::thread([this, work = std::move(work), finished = std::move(finished)] {
    std::exception_ptr failure;
    try {
      work([this](int64_t done, int64_t total) {
        done_.store(done, std::memory_order_relaxed);
        total_.store(total, std::memory_order_relaxed);
        return !cancel_.load();
      });
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
    cancel_ = true;
    worker_.join();
  }
}

bool LengthyWork::WaitQuietly() {
  return result_.wait_for(kQuietTime) == std::future_status::ready;
}

bool LengthyWork::Finished() const {
  return result_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void LengthyWork::Finish() {
  worker_.join();
  result_.get();
}

}  // namespace halvarin
