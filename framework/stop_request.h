// A request to stop the program's work, made by its SIGTERM/SIGINT handler and checked by long
// runs (loading a file, an import, waiting for a lock) between two steps, so that a stop ends
// them promptly at a point where nothing is half done.
#pragma once

#include "framework/exception.h"

namespace framework {

// Raised by CheckStopRequest: the work was stopped on request. The application object shows no
// error box for it and ends the program.
class EStopRequested : public Exception {
 public:
  explicit EStopRequested(int signal);
  int Signal() const { return signal_; }

 private:
  int signal_;
};

// Records a stop request for `signal` (any number > 0). Async-signal-safe: a signal handler may
// call it.
void RequestStop(int signal) noexcept;
// The signal of the pending request, 0 for none. Async-signal-safe.
int StopSignal() noexcept;
inline bool StopRequested() noexcept { return StopSignal() != 0; }
// Raises EStopRequested when a stop was requested.
void CheckStopRequest();
// Forgets a request (for tests that request one on purpose).
void ClearStopRequest() noexcept;

}  // namespace framework
