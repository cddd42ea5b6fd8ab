#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace korvi::windows::test {
namespace {

// Allocations left before the failing one on this thread; 0: none is armed.
thread_local int allocationsLeft = 0;
thread_local bool failed = false;

}  // namespace

FailNthAllocation::FailNthAllocation(int nth) noexcept {
  allocationsLeft = nth;
  failed = false;
}

FailNthAllocation::~FailNthAllocation() { allocationsLeft = 0; }

bool FailNthAllocation::Failed() const noexcept { return failed; }

}  // namespace korvi::windows::test

void* operator new(std::size_t size) {
  using korvi::windows::test::allocationsLeft;
  using korvi::windows::test::failed;
  if (allocationsLeft > 0 && --allocationsLeft == 0) {
    failed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
