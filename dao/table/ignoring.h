// Running a step of the table component whose failure must not stop the caller: closing a
// recordset on the way out, a read that falls back to a neutral value, a best-effort cursor
// move. Only std::exception is dropped; anything else still passes on.
#pragma once

#include <exception>

namespace daotable {

// Runs `f`, dropping any std::exception it raises.
template <class F>
void Ignoring(F&& f) {
  try {
    f();
  } catch (const std::exception&) {
  }
}

}  // namespace daotable
