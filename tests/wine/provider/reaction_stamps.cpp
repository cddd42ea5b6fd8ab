#include "reaction_stamps.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace korvi::fake::stamps {
namespace {

struct Stamp {
  Moment moment;
  LONGLONG ticks;
};

// Three moments per notification: room for far more than any benchmark run asks.
constexpr std::size_t kCapacity = 1 << 16;
std::array<Stamp, kCapacity> taken;
std::atomic<std::size_t> count{0};

const char* FileAsked() noexcept {
  static const char* const path = [] {
    const char* text = std::getenv("KORVI_WINE_STAMPS");
    return text != nullptr && *text != '\0' ? text : nullptr;
  }();
  return path;
}

const char* NameOf(Moment moment) noexcept {
  switch (moment) {
    case Moment::kDelivery: return "delivery";
    case Moment::kCallStart: return "call-start";
    case Moment::kExecMethod: return "exec-method";
  }
  return "unknown";
}

// Closes the file on every path.
struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

void Take(Moment moment) noexcept {
  if (FileAsked() == nullptr) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const std::size_t slot = count.fetch_add(1, std::memory_order_relaxed);
  if (slot < kCapacity) taken[slot] = Stamp{moment, now.QuadPart};
}

void WriteIfAsked() noexcept {
  const char* path = FileAsked();
  if (path == nullptr) return;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "w"));
  if (!file) {
    std::fprintf(stderr, "korvi-sar: KORVI_WINE_STAMPS: cannot write \"%s\"\n", path);
    return;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::fprintf(file.get(), "frequency %lld\n", static_cast<long long>(frequency.QuadPart));
  const std::size_t total = count.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < total && i < kCapacity; ++i) {
    std::fprintf(file.get(), "%s %lld\n", NameOf(taken[i].moment), static_cast<long long>(taken[i].ticks));
  }
  if (total > kCapacity) std::fprintf(file.get(), "dropped %zu\n", total - kCapacity);
}

}  // namespace korvi::fake::stamps
