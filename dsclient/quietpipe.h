#pragma once

#include <signal.h>

namespace dsclient {

// While the object lives, a write to a server that has gone raises no
// SIGPIPE: libldap then sees EPIPE and reports a lost connection. Standard
// output keeps the default, so a listing into a closed pipe still ends the
// program quietly.
class QuietPipe {
  public:
    QuietPipe();
    // Takes back a SIGPIPE raised meanwhile, then restores the signal mask.
    ~QuietPipe();
    QuietPipe(const QuietPipe&) = delete;
    QuietPipe& operator=(const QuietPipe&) = delete;

  private:
    sigset_t saved_{};
};

}  // namespace dsclient
