#include "framework/stop_request.h"

#include <atomic>
#include <csignal>
#include <string>

namespace framework {

namespace {

// Lock-free, so that a signal handler may store into it.
std::atomic<int> g_stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

std::string SignalName(int signal) {
  switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "Signal " + std::to_string(signal);
  }
}

}  // namespace

EStopRequested::EStopRequested(int signal)
    : Exception("Abgebrochen durch " + SignalName(signal) + "."), signal_(signal) {}

void RequestStop(int signal) noexcept { g_stop_signal.store(signal > 0 ? signal : SIGTERM); }

int StopSignal() noexcept { return g_stop_signal.load(); }

void CheckStopRequest() {
  const int signal = g_stop_signal.load();
  if (signal != 0) throw EStopRequested(signal);
}

void ClearStopRequest() noexcept { g_stop_signal.store(0); }

}  // namespace framework
