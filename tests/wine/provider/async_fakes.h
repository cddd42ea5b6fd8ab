// The fake asynchronous operations and actions: each adapts one simulated operation, whose
// completion (at once, or later on the platform thread) calls the Completed delegate that the
// service set, with the fake itself as the operation.
//
// The delegate is reached through a completion adapter that the simulated operation holds.
// The adapter knows its fake only weakly: a fake that the service has released (it gave up
// waiting) is told to nobody, and an operation that never completes keeps nothing alive.
#pragma once

#include <asyncinfo.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "cellular/modem_platform.h"
#include "com_object.h"

namespace korvi::fake {

template <class Owner, class Interface, class Handler>
class CompletionAdapter final : public cellular::CompletionHandler {
 public:
  CompletionAdapter(Owner* owner, ComPtr<Handler> handler) noexcept : owner_(owner), handler_(std::move(handler)) {}

  // The fake is going away: it is never handed out again.
  void Detach() noexcept {
    try {
      std::lock_guard lock(mutex_);
      owner_ = nullptr;
    } catch (...) {
      owner_ = nullptr;  // a lock that cannot be taken: nobody else can be inside either
    }
  }

  void OnCompleted() noexcept override {
    ComPtr<Owner> owner;
    try {
      std::lock_guard lock(mutex_);
      if (owner_ != nullptr && owner_->TryAddRef()) owner = ComPtr<Owner>(owner_);
    } catch (...) {
      return;
    }
    if (!owner) return;
    owner->MarkCompleted();
    // The outcome is read with GetResults, which gives the operation's failure, if any.
    handler_->Invoke(static_cast<Interface*>(owner.get()), static_cast<AsyncStatus>(1) /* Completed */);
  }

 private:
  std::mutex mutex_;
  Owner* owner_;
  const ComPtr<Handler> handler_;
};

// The parts that every fake operation and action share: the Completed delegate and IAsyncInfo,
// whose Cancel is the simulated operation's.
template <class Self, class Interface, class Handler, class Simulated>
class FakeAsync : public ComObject<Self, Interface, IAsyncInfo> {
 public:
  using Adapter = CompletionAdapter<Self, Interface, Handler>;

  explicit FakeAsync(std::shared_ptr<Simulated> simulated) noexcept : simulated_(std::move(simulated)) {}
  ~FakeAsync() override {
    if (adapter_) adapter_->Detach();
  }

  HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override {
    if (handler == nullptr) return E_POINTER;
    return Guard([&] {
      auto adapter = std::make_shared<Adapter>(static_cast<Self*>(this), Retain<Handler>(handler));
      simulated_->SetCompleted(adapter);  // may complete at once, on this thread
      if (adapter_) adapter_->Detach();
      adapter_ = std::move(adapter);
      handler_ = Retain<Handler>(handler);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_Completed(Handler** handler) override {
    if (!ClearOut(handler)) return E_POINTER;
    *handler = ComPtr<Handler>(handler_).Release();
    return S_OK;
  }

  // IAsyncInfo. The status is Started until the simulated operation reported its completion
  // through the delegate; its failure, if any, shows in GetResults only.
  HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
    if (!ClearOut(id)) return E_POINTER;
    *id = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) override {
    if (status == nullptr) return E_POINTER;
    *status = static_cast<AsyncStatus>(completed_.load() ? 1 : 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
    if (!ClearOut(code)) return E_POINTER;
    return S_OK;
  }
  // The simulated operation's Cancel, with its faults; a completion after it reaches nobody
  // there, as on the platform.
  HRESULT STDMETHODCALLTYPE Cancel() override {
    return Guard([&] {
      simulated_->Cancel();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }

  void MarkCompleted() noexcept { completed_.store(true); }

 protected:
  Simulated& simulated() noexcept { return *simulated_; }

 private:
  std::shared_ptr<Simulated> simulated_;
  std::shared_ptr<Adapter> adapter_;
  ComPtr<Handler> handler_;
  std::atomic<bool> completed_{false};
};

}  // namespace korvi::fake
