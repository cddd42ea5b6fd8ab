// The asynchronous operations of the Windows Runtime behind the cellular seam's AsyncOperation
// and AsyncAction, the completion handler objects that we set on them, and their Cancel.
//
// A completion handler object holds the seam's handler (and with it the wait's whole state:
// done flag, lock, condition variable) by a reference of its own, and the platform holds the
// object for as long as it may call it. A completion that comes after the waiter has given up
// (a time-out) therefore touches only live state.
#pragma once

#include <memory>
#include <utility>

#include "cellular/modem_platform.h"
#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/error_text.h"
#include "platform/windows/support/com_object.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

// The Completed delegate for one kind of operation (HandlerInterface's Invoke takes an
// Operation* and the status). The status is not looked at: the outcome is read through
// GetResults only.
template <class HandlerInterface, class Operation>
class CompletionObject final : public ComObject<CompletionObject<HandlerInterface, Operation>, HandlerInterface> {
 public:
  explicit CompletionObject(std::shared_ptr<cellular::CompletionHandler> handler) noexcept
      : handler_(std::move(handler)) {}

  HRESULT STDMETHODCALLTYPE Invoke(Operation* /*asyncInfo*/, abi::AsyncStatus /*status*/) noexcept override {
    if (handler_) handler_->OnCompleted();
    return S_OK;
  }

 private:
  const std::shared_ptr<cellular::CompletionHandler> handler_;
};

// put_Completed with a new completion object; throws the platform error when it is refused.
template <class HandlerInterface, class Operation>
void SetCompletedHandler(Operation& operation, std::shared_ptr<cellular::CompletionHandler> handler) {
  ComPtr<HandlerInterface> completion(new CompletionObject<HandlerInterface, Operation>(std::move(handler)));
  Check(operation.put_Completed(completion.get()));
}

// IAsyncInfo::Cancel on an operation or action, which implements IAsyncInfo beside its own
// interface; throws the platform error when it has none or refuses.
template <class Operation>
void CancelOperation(Operation& operation) {
  ComPtr<IAsyncInfo> info;
  Check(QueryAs(&operation, info));
  if (!info) ThrowPlatformError(E_POINTER);
  Check(info->Cancel());
}

// What every seam operation and action over an ABI one shares: the Completed delegate and
// Cancel. Seam is the seam's class, HandlerInterface the operation's Completed delegate.
template <class Seam, class Operation, class HandlerInterface>
class AsyncInfoObject : public Seam {
 public:
  explicit AsyncInfoObject(ComPtr<Operation> operation) noexcept : operation_(std::move(operation)) {}

  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override {
    SetCompletedHandler<HandlerInterface>(*operation_.get(), std::move(handler));
  }

  void Cancel() override { CancelOperation(*operation_.get()); }

 protected:
  Operation& operation() const noexcept { return *operation_.get(); }

 private:
  ComPtr<Operation> operation_;
};

// IAsyncOperation<T> as the seam's AsyncOperation<Result>. Wrap turns the ABI result (the
// default interface of the result class, possibly null) into the seam's Result.
template <class Result, class Operation, class HandlerInterface, class AbiResult, Result (*Wrap)(ComPtr<AbiResult>)>
class AsyncOperationObject final
    : public AsyncInfoObject<cellular::AsyncOperation<Result>, Operation, HandlerInterface> {
 public:
  using AsyncInfoObject<cellular::AsyncOperation<Result>, Operation, HandlerInterface>::AsyncInfoObject;

  Result GetResults() override {
    ComPtr<AbiResult> result;
    Check(this->operation().GetResults(result.put()));
    return Wrap(std::move(result));
  }
};

// IAsyncOperation<Boolean> as the seam's AsyncOperation<bool>: the result is the one-byte
// boolean itself.
class BooleanOperationObject final
    : public AsyncInfoObject<cellular::AsyncOperation<bool>, abi::TransmittingOperation,
                             abi::TransmittingCompletedHandler> {
 public:
  using AsyncInfoObject::AsyncInfoObject;

  bool GetResults() override {
    boolean result = 0;
    Check(operation().GetResults(&result));
    return result != 0;
  }
};

// IAsyncAction as the seam's AsyncAction.
class AsyncActionObject final
    : public AsyncInfoObject<cellular::AsyncAction, abi::WF::IAsyncAction, abi::WF::IAsyncActionCompletedHandler> {
 public:
  using AsyncInfoObject::AsyncInfoObject;

  void GetResults() override { Check(operation().GetResults()); }
};

}  // namespace korvi::windows
