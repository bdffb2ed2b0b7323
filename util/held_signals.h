// The asynchronous signals that end the program and run its clean-up:
// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (POSIX; nothing on Windows,
// where a console Ctrl+C comes on a thread of its own).
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace pt {

// Holds these signals back in the calling thread for a scope; one that
// comes meanwhile is delivered when the scope ends. A thread started inside
// the scope keeps them blocked for its whole life: worker threads are
// started so, and the handlers always run on a thread that keeps the
// clean-up list consistent (it blocks them while it changes the list).
class HeldSignals {
 public:
  HeldSignals();
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
#ifndef _WIN32
  sigset_t old_;
#endif
};

}  // namespace pt
