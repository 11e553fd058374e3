#include "InterruptGuard.h"

#include <iterator>

#ifndef _WIN32
#include <signal.h>
#endif

namespace halvarin::cli {

namespace {

// Windows has no SIGHUP; 0 stands for it there and is skipped.
#ifdef SIGHUP
constexpr int kHangUp = SIGHUP;
#else
constexpr int kHangUp = 0;
#endif
constexpr int kSignals[] = {SIGINT, SIGTERM, kHangUp};

// All a signal handler may safely touch.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int signal) {
  if (interrupted == 0) {
    interrupted = signal;
  }
#ifdef _WIN32
  // The C runtime answers Ctrl+C from its console handler, on a thread of
  // its own, and puts the default action back before calling us: a second
  // Ctrl+C must not end the program halfway through the cleanup either.
  std::signal(signal, OnInterrupt);
#endif
}

}  // namespace

InterruptGuard::InterruptGuard() {
  static_assert(std::size(kSignals) == kCount);
#ifndef _WIN32
  sigset_t set;
  sigemptyset(&set);
#endif
  for (int k = 0; k < kCount; ++k) {
    previous_[k] = SIG_DFL;
    if (kSignals[k] == 0) {
      continue;
    }
    previous_[k] = std::signal(kSignals[k], OnInterrupt);
    if (previous_[k] == SIG_IGN) {
      std::signal(kSignals[k], SIG_IGN);
      continue;
    }
#ifndef _WIN32
    sigaddset(&set, kSignals[k]);
#endif
  }
#ifndef _WIN32
  // Whoever started us may have held them back; they must reach us now, or
  // they would arrive only once the files are in place.
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
#endif
}

InterruptGuard::~InterruptGuard() {
  for (int k = 0; k < kCount; ++k) {
    if (kSignals[k] != 0) {
      std::signal(kSignals[k], previous_[k] == SIG_ERR ? SIG_DFL : previous_[k]);
    }
  }
}

bool InterruptGuard::Requested() {
  return interrupted != 0;
}

int InterruptGuard::Signal() {
  return interrupted;
}

}  // namespace halvarin::cli
