// Writes a component and the components it owns as a form file (the format of form_reader.h):
// one block per component, its stored properties in registration order (bases first), those
// whose `stored` test says so, then the blocks of its owned components.
#pragma once

#include <string>

#include "framework/component.h"
#include "framework/form_value.h"

namespace framework {

// The form file text of `root`; owned components of classes that are not registered are
// skipped (they cannot be read back), as are unnamed ones.
std::string WriteComponentText(const TComponent& root);

// One value as it appears after "Name = " at the given indentation (lists, collections and
// long binary data span lines).
std::string FormatFormValue(const TFormValue& value, int indent);

}  // namespace framework
