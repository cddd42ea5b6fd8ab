// Makes one allocation fail on purpose: while a FailNthAllocation lives, the nth call of the
// global operator new on its thread (counted from its making) throws std::bad_alloc, and every
// other allocation succeeds. For the paths that must hold when memory runs out at one place.
// Only the programs that link failing_new.cpp replace operator new.
#pragma once

namespace korvi::windows::test {

class FailNthAllocation {
 public:
  explicit FailNthAllocation(int nth) noexcept;
  ~FailNthAllocation();
  FailNthAllocation(const FailNthAllocation&) = delete;
  FailNthAllocation& operator=(const FailNthAllocation&) = delete;

  // Whether the nth allocation came and failed: a test whose path never allocated that often
  // proves nothing.
  bool Failed() const noexcept;
};

}  // namespace korvi::windows::test
