#include "util/held_signals.h"

#include <initializer_list>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace pt {

#ifdef _WIN32
HeldSignals::HeldSignals() = default;
HeldSignals::~HeldSignals() = default;
#else
HeldSignals::HeldSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&set, sig);
  pthread_sigmask(SIG_BLOCK, &set, &old_);
}

HeldSignals::~HeldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
#endif

}  // namespace pt
