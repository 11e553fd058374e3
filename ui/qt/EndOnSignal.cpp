#include "EndOnSignal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <QSocketNotifier>

#include "QtToolkit.h"

namespace halvarin {

namespace {

EndOnSignal* current = nullptr;

#ifndef _WIN32
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previous[std::size(kSignals)];
int wakeUp[2] = {-1, -1};

extern "C" void OnSignal(int signal) {
  const int saved = errno;
  const auto number = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &number, 1);
  errno = saved;
}
#endif

}  // namespace

EndOnSignal::EndOnSignal(QtToolkit& toolkit, std::function<void()> cleanUp, Exit exit)
    : toolkit_(toolkit), cleanUp_(std::move(cleanUp)), exit_(std::move(exit)) {
  current = this;
  static const bool registered = std::atexit(AtExit) == 0;
  (void)registered;
#ifndef _WIN32
  if (::pipe2(wakeUp, O_NONBLOCK | O_CLOEXEC) != 0) {
    return;  // no signal handled: the system's defaults stay
  }
  notifier_ = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &EndOnSignal::Received);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(kSignals[i], &action, nullptr);
  }
#endif
}

EndOnSignal::~EndOnSignal() {
  current = nullptr;
#ifndef _WIN32
  if (notifier_ == nullptr) {
    return;
  }
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], &previous[i], nullptr);
  }
  delete notifier_;
  ::close(wakeUp[0]);
  ::close(wakeUp[1]);
  wakeUp[0] = wakeUp[1] = -1;
#endif
}

void EndOnSignal::ExitNow(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

void EndOnSignal::Received() {
#ifndef _WIN32
  unsigned char number = 0;
  if (::read(wakeUp[0], &number, 1) != 1 || std::exchange(ending_, true)) {
    return;
  }
  toolkit_.StopOperation([this, number] {
    cleanUp_();
    exit_(128 + number);
  });
#endif
}

void EndOnSignal::AtExit() {
  if (current != nullptr && !current->ending_) {
    current->ending_ = true;
    current->toolkit_.StopOperationNow();
    current->cleanUp_();
  }
}

}  // namespace halvarin
