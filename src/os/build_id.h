// Which build this is: the project's version and the commit of the tree it was built from, as
// cmake/build_id.cmake found them when the program was built. Every trace names them in its
// run record, so that a trace says which build made it.
#pragma once

#include <string>

namespace korvi::build {

// The project's version, "1.0.0".
const char* Version() noexcept;
// The commit's first 12 hex digits, with "-dirty" when the tree had changes that were not
// committed; "unknown" for a tree built without git.
const char* Commit() noexcept;

// The run record's "build" member, {"version":"1.0.0","commit":"0123456789ab"}: one spelling
// for every writer of a trace.
std::string Json();

}  // namespace korvi::build
