// Raising the dataset layer's own refusals as framework::EDatabaseError.
#pragma once

#include <string>

#include "framework/component.h"

namespace dataset {

// Raises EDatabaseError with `message`; when `component` has a name the message starts with it
// ("Fahrer: Dataset not in edit or insert mode").
[[noreturn]] void DatabaseError(const std::string& message,
                                const framework::TComponent* component = nullptr);

}  // namespace dataset
