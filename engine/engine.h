// The engine object and its workspaces, and the registration of the engine under its ProgIDs
// ("DAO.DBEngine.36", "DAO.PrivateDBEngine.36") in the COM stand-in.
#pragma once

#include <memory>

#include "dao/dao_interfaces.h"

namespace engine {

// Registers the engine classes; the program and the tests call it once at start. With
// `also_35`, the 3.5 ProgIDs are registered as well (for tests of version selection).
void RegisterEngineClasses(bool also_35 = false);
// A new engine object.
std::shared_ptr<dao::DBEngine> CreateEngine();

}  // namespace engine
