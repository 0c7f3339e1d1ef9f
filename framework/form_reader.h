// Reads form files: the text form of a tree of components with their stored properties,
//
//   object Data: TData
//     object Datenbank: TUxDaoDatabase
//       DatabaseType = 'Access'
//       QueryTimeout = 60
//     end
//   end
//
// Values are texts in single quotes ('' for a quote, #13 for a character by code, + to continue
// on the next line), integers ($ for hex), floats, identifiers (True, False, enumeration values,
// names of other components), sets [a, b], lists ( 'a' 'b' ), collections < item ... end > and
// binary data { 0A1B }. Nested blocks are owned components.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/component.h"
#include "framework/form_value.h"

namespace framework {

// One parsed block of a form file.
struct TFormObject {
  std::string name;
  std::string class_name;
  bool inherited = false;  // "inherited" or "inline": the component exists already
  int line = 0;
  struct Property {
    std::string name;
    TFormValue value;
    int line = 0;
  };
  std::vector<Property> properties;
  std::vector<TFormObject> children;
};

// Parses a whole form file (exactly one top-level block). Raises EComponentError naming the line
// for text that is not a form file.
TFormObject ParseFormText(const std::string& text);

// Reads a form file into `root`, an existing component: the root takes the block's name and
// properties; each nested block fills the owned component of that name or, when there is none,
// creates one of the block's class (see form_classes.h) owned by the enclosing component.
// While reading, every component carries csLoading and csReading; properties are assigned in
// file order; references to other components are resolved after the whole file has been read
// (by name among the children of the owners, nearest first); then csReading is cleared and
// Loaded() is called on every component read, the root last.
// On an error the components created by this read are destroyed, the flags are cleared, and
// the error propagates (a setter's own error unchanged; a bad property name, value or
// reference as EComponentError naming the component, property and line).
void ReadComponentText(const std::string& text, TComponent* root);
void ReadComponent(const TFormObject& form, TComponent* root);

// Creates the component a form file describes (of the class of its top-level block) owned by
// `owner` (may be null), reads it as above and returns it. On any error, Loaded() included, the
// new component is destroyed again.
TComponent* CreateComponentFromText(const std::string& text, TComponent* owner);

}  // namespace framework
