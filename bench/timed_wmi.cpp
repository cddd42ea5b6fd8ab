#include "timed_wmi.h"

#include <string_view>
#include <thread>
#include <utility>

namespace korvi::bench {
namespace {

using wlan_power::HResult;

class TimedServices final : public wlan_power::WbemServices {
 public:
  TimedServices(std::unique_ptr<wlan_power::WbemServices> inner, TimedWmi& timing)
      : inner_(std::move(inner)), timing_(timing) {}

  HResult CoSetProxyBlanket() noexcept override { return inner_->CoSetProxyBlanket(); }
  HResult ExecQuery(const wlan_power::WmiText* language, const wlan_power::WmiText* query, std::int32_t flags,
                    std::unique_ptr<wlan_power::WbemEnumerator>& enumerator) noexcept override {
    return inner_->ExecQuery(language, query, flags, enumerator);
  }
  HResult GetObject(const wlan_power::WmiText* path, std::unique_ptr<wlan_power::WbemClassObject>& object) noexcept override {
    return inner_->GetObject(path, object);
  }
  HResult ExecMethod(const wlan_power::WmiValue& objectPath, const wlan_power::WmiText* method,
                     const wlan_power::WbemClassObject* inParams,
                     std::unique_ptr<wlan_power::WbemClassObject>& outParams) noexcept override {
    if (timing_.firmwareTime().count() == 0) {
      timing_.Mark(TimedWmi::Moment::kExecMethod);
      return inner_->ExecMethod(objectPath, method, inParams, outParams);
    }
    const auto begun = TimedWmi::Clock::now();
    timing_.Mark(TimedWmi::Moment::kExecMethod);
    const HResult hr = inner_->ExecMethod(objectPath, method, inParams, outParams);
    std::this_thread::sleep_until(begun + timing_.firmwareTime());  // what the firmware's clock rounded off
    return hr;
  }

 private:
  std::unique_ptr<wlan_power::WbemServices> inner_;
  TimedWmi& timing_;
};

class TimedLocator final : public wlan_power::WbemLocator {
 public:
  TimedLocator(std::unique_ptr<wlan_power::WbemLocator> inner, TimedWmi& timing)
      : inner_(std::move(inner)), timing_(timing) {}

  HResult ConnectServer(const wlan_power::WmiText* ns, std::unique_ptr<wlan_power::WbemServices>& services) noexcept override {
    std::unique_ptr<wlan_power::WbemServices> connected;
    const HResult hr = inner_->ConnectServer(ns, connected);
    services.reset();
    if (connected) {
      try {
        services = std::make_unique<TimedServices>(std::move(connected), timing_);
      } catch (...) {
        return wlan_power::kEOutOfMemory;
      }
    }
    return hr;
  }

 private:
  std::unique_ptr<wlan_power::WbemLocator> inner_;
  TimedWmi& timing_;
};

}  // namespace

HResult TimedWmi::SysAllocString(const wchar_t* text, std::unique_ptr<wlan_power::WmiText>& out) noexcept {
  // Every firmware method call makes the namespace's text first, and no other step makes it.
  if (text != nullptr && std::wstring_view(text) == L"root\\wmi") Mark(Moment::kCallStart);
  return inner_.SysAllocString(text, out);
}

HResult TimedWmi::CoCreateInstance(std::unique_ptr<wlan_power::WbemLocator>& locator) noexcept {
  std::unique_ptr<wlan_power::WbemLocator> created;
  const HResult hr = inner_.CoCreateInstance(created);
  locator.reset();
  if (created) {
    try {
      locator = std::make_unique<TimedLocator>(std::move(created), *this);
    } catch (...) {
      return wlan_power::kEOutOfMemory;
    }
  }
  return hr;
}

void TimedWmi::Mark(Moment moment) noexcept {
  const Clock::time_point now = Clock::now();
  std::lock_guard lock(mutex_);
  Seen& seen = SeenFor(moment);
  if (seen.count++ == 0) seen.first = now;
  seen.last = now;
  marked_.notify_all();
}

std::optional<TimedWmi::Clock::time_point> TimedWmi::Await(Moment moment, std::int64_t n, Clock::duration limit) {
  std::unique_lock lock(mutex_);
  if (!marked_.wait_for(lock, limit, [&] { return SeenFor(moment).count >= n; })) return std::nullopt;
  return SeenFor(moment).last;
}

std::int64_t TimedWmi::Count(Moment moment) const {
  std::lock_guard lock(mutex_);
  return moment == Moment::kCallStart ? callStarts_.count : execMethods_.count;
}

std::optional<TimedWmi::Clock::time_point> TimedWmi::First(Moment moment) const {
  std::lock_guard lock(mutex_);
  const Seen& seen = moment == Moment::kCallStart ? callStarts_ : execMethods_;
  if (seen.count == 0) return std::nullopt;
  return seen.first;
}

}  // namespace korvi::bench
