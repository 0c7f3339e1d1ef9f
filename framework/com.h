// Stand-in for the COM runtime: per-thread initialisation counting and a registry of classes
// created by ProgID. Automation servers (the database engine) register their classes at start.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace framework {

// Base of every object created through CreateOleObject; callers cast to the interface they know.
class OleObject {
 public:
  virtual ~OleObject() = default;
};

using OleFactory = std::function<std::shared_ptr<OleObject>()>;

constexpr int S_OK = 0;
constexpr int S_FALSE = 1;  // already initialised on this thread

// Counts initialisations on the calling thread; answers S_OK for the first, S_FALSE after.
int CoInitialize();
// Undoes one CoInitialize on the calling thread (nothing when none is outstanding).
void CoUninitialize();
// Outstanding initialisations on the calling thread.
int CoInitializeCount();

// Registers (or replaces) the class behind `prog_id`; ProgIDs compare case-insensitively.
void RegisterOleClass(const std::string& prog_id, OleFactory factory);
void UnregisterOleClass(const std::string& prog_id);
bool IsOleClassRegistered(const std::string& prog_id);
// The registered ProgIDs in registration order.
std::vector<std::string> RegisteredProgIds();

// Creates an object of the class registered under `prog_id`; raises EOleException
// "Invalid class string" when none is.
std::shared_ptr<OleObject> CreateOleObject(const std::string& prog_id);

}  // namespace framework
