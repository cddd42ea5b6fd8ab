// The options of one benchmark: "--name value" pairs after the benchmark's name. Anything
// unusable is a UsageError whose text is one line naming the option and what is wrong.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace korvi::bench {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Options {
 public:
  // args: what follows the benchmark's name; known: the option names it takes, without "--".
  Options(const std::string& benchmark, int argc, char** argv, std::initializer_list<const char*> known);

  std::int64_t Count(const char* name, std::int64_t fallback, std::int64_t minimum) const;
  double Seconds(const char* name, double fallback) const;
  std::string Path(const char* name) const;  // required

 private:
  std::optional<std::string> Find(const char* name) const;
  [[noreturn]] void Fail(const char* name, const std::string& what) const;

  std::string benchmark_;
  std::map<std::string, std::string> values_;
};

}  // namespace korvi::bench
