#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace korvi::bench {

Options::Options(const std::string& benchmark, int argc, char** argv, std::initializer_list<const char*> known)
    : benchmark_(benchmark) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    bool isKnown = false;
    for (const char* name : known) isKnown = isKnown || arg == std::string("--") + name;
    if (!isKnown) throw UsageError(benchmark_ + ": unknown option \"" + arg + "\"");
    if (i + 1 >= argc) throw UsageError(benchmark_ + ": " + arg + ": expected a value after it");
    values_[arg.substr(2)] = argv[++i];
  }
}

std::optional<std::string> Options::Find(const char* name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void Options::Fail(const char* name, const std::string& what) const {
  throw UsageError(benchmark_ + ": --" + name + ": " + what);
}

std::int64_t Options::Count(const char* name, std::int64_t fallback, std::int64_t minimum) const {
  const auto text = Find(name);
  if (!text) return fallback;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || errno == ERANGE || value < minimum) {
    Fail(name, "expected a whole number of at least " + std::to_string(minimum) + ", got \"" + *text + "\"");
  }
  return value;
}

double Options::Seconds(const char* name, double fallback) const {
  const auto text = Find(name);
  if (!text) return fallback;
  char* end = nullptr;
  const double value = std::strtod(text->c_str(), &end);
  if (text->empty() || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 3600.0) {
    Fail(name, "expected seconds above 0 and at most 3600, got \"" + *text + "\"");
  }
  return value;
}

std::string Options::Path(const char* name) const {
  const auto text = Find(name);
  if (!text || text->empty()) Fail(name, "required: a path");
  return *text;
}

}  // namespace korvi::bench
