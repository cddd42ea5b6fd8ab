// The owner template over stand-in kinds that count what they free, so that a value freed
// twice, or never, shows.
#include "os/owner.h"

#include <gtest/gtest.h>

#include <map>

namespace korvi {
namespace {

std::map<int, int> freed;      // value -> times freed
std::map<int, int> references; // value -> references held (the shared kind)

// A kind with one owner per value, like a handle or a string.
struct HandleTraits {
  using Value = int;
  static Value Empty() noexcept { return 0; }
  static bool Holds(const Value& value) noexcept { return value != 0; }
  static void Free(Value& value) noexcept { ++freed[value]; }
};

// A reference-counted kind.
struct SharedTraits {
  using Value = int;
  static Value Empty() noexcept { return 0; }
  static bool Holds(const Value& value) noexcept { return value != 0; }
  static void AddRef(Value value) noexcept { ++references[value]; }
  static void Free(Value& value) noexcept { --references[value]; }
};

using Handle = os::Owner<HandleTraits>;
using Shared = os::Owner<SharedTraits>;

class OwnerTest : public testing::Test {
 protected:
  void SetUp() override {
    freed.clear();
    references.clear();
  }
};

TEST_F(OwnerTest, AHandleResetToTheValueItHoldsIsKeptAndFreedOnceAtTheEnd) {
  {
    Handle handle(7);
    handle.Reset(7);
    EXPECT_EQ(freed[7], 0);
    EXPECT_EQ(handle.get(), 7);
    handle.Reset(8);
    EXPECT_EQ(freed[7], 1);
  }
  EXPECT_EQ(freed[7], 1);
  EXPECT_EQ(freed[8], 1);
}

TEST_F(OwnerTest, ASharedObjectResetToItselfGivesBackOneReferenceAndKeepsTheOther) {
  references[5] = 2;  // the owner's reference, and the caller's that it hands over
  {
    Shared shared(5);
    shared.Reset(5);
    EXPECT_EQ(references[5], 1);
    EXPECT_EQ(shared.get(), 5);
  }
  EXPECT_EQ(references[5], 0);
}

}  // namespace
}  // namespace korvi
