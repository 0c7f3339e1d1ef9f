#include "dataset/db_error.h"

#include "framework/exception.h"

namespace dataset {

void DatabaseError(const std::string& message, const framework::TComponent* component) {
  if (component != nullptr && !component->Name().empty())
    throw framework::EDatabaseError(component->Name() + ": " + message);
  throw framework::EDatabaseError(message);
}

}  // namespace dataset
