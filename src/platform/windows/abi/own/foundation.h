// The Windows.Foundation pieces that the service needs beyond what mingw-w64 10 offers in a
// usable form: TimeSpan, IAsyncAction and its completion delegate, and IAsyncOperation<Boolean>
// (GetIsTransmittingAsync's operation) with its completion delegate.
//
// mingw-w64 10's windows.foundation.h does not compile as C++ (it forward-declares its enums
// with `typedef enum X X;`), and it has no IAsyncAction at all. windows.foundation.collections.h
// does compile and supplies the primary templates (IAsyncOperation<T>, ITypedEventHandler<S, A>,
// IVectorView<T>, ...) that network_operators.h specializes.
//
// Layout from the ABI facts (docs/winrt-abi-facts.md): TimeSpan is { INT64 Duration } in
// 100 ns units; IAsyncAction derives from IInspectable directly (IAsyncInfo is a separate
// interface of the same object, not a base), slots 6-8; the delegate derives from IUnknown,
// Invoke at slot 3. IAsyncOperation<Boolean> has the generic operation's slots 6-8, but its
// GetResults writes a one-byte boolean, not a pointer: the primary template that
// windows.foundation.collections.h defines would make it boolean**, so the instance is an
// explicit specialization with the IIDs of section 7 (mingw-w64 has the same two IIDs, in the
// header that does not compile as C++).
#pragma once

#include <windows.h>
#include <asyncinfo.h>
#include <inspectable.h>
#include <windows.foundation.collections.h>

// A windows.foundation.h that was included first, and compiled, already has these.
#if !defined(__windows_foundation_h__)
namespace ABI::Windows::Foundation {
struct TimeSpan {
  INT64 Duration;
};
}  // namespace ABI::Windows::Foundation
#endif

#if !defined(____x_ABI_CWindows_CFoundation_CIAsyncAction_INTERFACE_DEFINED__)
#define ____x_ABI_CWindows_CFoundation_CIAsyncAction_INTERFACE_DEFINED__
#define ____x_ABI_CWindows_CFoundation_CIAsyncActionCompletedHandler_INTERFACE_DEFINED__

namespace ABI::Windows::Foundation {

struct IAsyncAction;

MIDL_INTERFACE("a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7")
IAsyncActionCompletedHandler : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncAction* asyncInfo, AsyncStatus asyncStatus) = 0;  // 3
};

MIDL_INTERFACE("5a648006-843a-4da9-865b-9d26e5dfad7b")
IAsyncAction : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncActionCompletedHandler* handler) = 0;   // 6
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncActionCompletedHandler** handler) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE GetResults() = 0;                                            // 8
};

}  // namespace ABI::Windows::Foundation

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ABI::Windows::Foundation::IAsyncActionCompletedHandler,
                0xa4ed5c81, 0x76c9, 0x40bd, 0x8b, 0xe6, 0xb1, 0xd9, 0x0f, 0xb2, 0x0a, 0xe7)
__CRT_UUID_DECL(ABI::Windows::Foundation::IAsyncAction,
                0x5a648006, 0x843a, 0x4da9, 0x86, 0x5b, 0x9d, 0x26, 0xe5, 0xdf, 0xad, 0x7b)
#endif

#endif

#if !defined(____FIAsyncOperation_1_boolean_INTERFACE_DEFINED__)
#define ____FIAsyncOperation_1_boolean_INTERFACE_DEFINED__
#define ____FIAsyncOperationCompletedHandler_1_boolean_INTERFACE_DEFINED__

namespace ABI::Windows::Foundation {

template <>
struct IAsyncOperation<boolean>;

template <>
MIDL_INTERFACE("c1d3d1a2-ae17-5a5f-b5a2-bdcc8844889a")
IAsyncOperationCompletedHandler<boolean> : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<boolean>* asyncInfo, AsyncStatus asyncStatus) = 0;  // 3
};

template <>
MIDL_INTERFACE("cdb5efb3-5788-509d-9be1-71ccb8a3362a")
IAsyncOperation<boolean> : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler<boolean>* handler) = 0;   // 6
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler<boolean>** handler) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE GetResults(boolean* results) = 0;                                       // 8
};

}  // namespace ABI::Windows::Foundation

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ABI::Windows::Foundation::IAsyncOperationCompletedHandler<boolean>,
                0xc1d3d1a2, 0xae17, 0x5a5f, 0xb5, 0xa2, 0xbd, 0xcc, 0x88, 0x44, 0x88, 0x9a)
__CRT_UUID_DECL(ABI::Windows::Foundation::IAsyncOperation<boolean>,
                0xcdb5efb3, 0x5788, 0x509d, 0x9b, 0xe1, 0x71, 0xcc, 0xb8, 0xa3, 0x36, 0x2a)
#endif

#endif
