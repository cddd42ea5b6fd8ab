// Linked into every Windows test program: after each test, every live object count of the
// Windows layer must be back where it was before the test began. A COM object of ours, an
// interface reference, an HSTRING, a BSTR or a VARIANT that the test's path took and never
// gave back (or gave back twice) fails that test, naming the kind and by how many.
//
// A listener rather than a fixture, so that it covers every test of every program as it stands
// and runs after the test's fixture (and the objects it owned) is gone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/windows/support/live_objects.h"

namespace korvi::windows::test {
namespace {

class LiveObjectsCheck final : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    for (int kind = 0; kind < kLiveKinds; ++kind) before_[kind] = LiveObjects::Count(static_cast<LiveKind>(kind));
  }
  // End events reach the listeners in the reverse order of their adding, so this one runs
  // before the printer's and its failure shows under the test it belongs to.
  void OnTestEnd(const ::testing::TestInfo&) override {
    for (int kind = 0; kind < kLiveKinds; ++kind) {
      const auto live = static_cast<LiveKind>(kind);
      const std::int64_t change = LiveObjects::Count(live) - before_[kind];
      EXPECT_EQ(change, 0) << LiveObjects::Name(live) << ": " << (change > 0 ? "never given back: " : "given back twice: ")
                           << (change > 0 ? change : -change);
    }
  }

 private:
  std::array<std::int64_t, kLiveKinds> before_{};
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new LiveObjectsCheck());  // gtest owns it
  return true;
}();

}  // namespace
}  // namespace korvi::windows::test
