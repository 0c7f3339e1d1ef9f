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
// long binary data span lines), as the value of a property of a block nested `indent` levels
// deep. Raises EComponentError for a value the reader could not read back (nested deeper than
// kMaxFormNesting, a float that is not finite).
std::string FormatFormValue(const TFormValue& value, int indent);

}  // namespace framework
