// SHA-256 (FIPS 180-4) of a byte string, as 64 lower-case hex digits: what sha256sum prints
// for the same bytes, so that the scenario a trace names can be checked against the file.
#pragma once

#include <string>
#include <string_view>

namespace korvi::sim {

std::string Sha256Hex(std::string_view bytes);

}  // namespace korvi::sim
