#include "InterruptGuard.h"

#include <csignal>

#ifndef _WIN32
#include <signal.h>
#endif

namespace halvarin::cli {

namespace {

// All a signal handler may safely touch.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
#ifdef _WIN32
  // The C runtime answers Ctrl+C from its console handler, on a thread of
  // its own, and puts the default action back before calling us: a second
  // Ctrl+C must not end the program halfway through the cleanup either.
  std::signal(SIGINT, OnInterrupt);
#endif
}

}  // namespace

InterruptGuard::InterruptGuard() : previous_(std::signal(SIGINT, OnInterrupt)) {
  if (previous_ == SIG_IGN) {
    std::signal(SIGINT, SIG_IGN);
    return;
  }
#ifndef _WIN32
  // Whoever started us may have held Ctrl+C back; it must reach us now, or
  // it would arrive only once the files are in place.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
#endif
}

InterruptGuard::~InterruptGuard() {
  std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

bool InterruptGuard::Requested() {
  return interrupted != 0;
}

}  // namespace halvarin::cli
