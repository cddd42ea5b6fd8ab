#include "os/build_id.h"

namespace korvi::build {

// Both values are the build script's own (digits, dots, hex and "-dirty"), so they need no
// escaping.
std::string Json() {
  return std::string("{\"version\":\"") + Version() + "\",\"commit\":\"" + Commit() + "\"}";
}

}  // namespace korvi::build
