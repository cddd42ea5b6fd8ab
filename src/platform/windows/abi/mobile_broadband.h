// The one include for the Windows Runtime ABI that the service (and the fake providers that
// stand in for the platform under Wine) use: the mobile-broadband interfaces, IAsyncAction and
// the parameterized asynchronous operations and event handler, IBuffer and CryptographicBuffer.
//
// With MSVC and a Windows SDK that has windows.networking.networkoperators.h, the SDK's own
// headers are used. Elsewhere (mingw-w64, whose headers lack that namespace and IAsyncAction)
// our own declarations in own/ stand in for them, under the same namespaces and names
// (mingw-w64 10's windows.foundation.h and windows.security.cryptography.h do not compile as
// C++, so include this header instead of them).
//
// Every interface is a plain abstract C++ struct; its IID is reachable as __uuidof(Interface)
// with either toolchain (MIDL_INTERFACE under MSVC, __CRT_UUID_DECL under mingw-w64).
#pragma once

#if defined(_MSC_VER) && __has_include(<windows.networking.networkoperators.h>)
#define KORVI_ABI_FROM_SDK 1
#include <windows.foundation.h>
#include <windows.networking.networkoperators.h>
#include <windows.security.cryptography.h>
#include <windows.storage.streams.h>
#else
#define KORVI_ABI_FROM_SDK 0
#include "platform/windows/abi/own/cryptography.h"
#include "platform/windows/abi/own/foundation.h"
#include "platform/windows/abi/own/network_operators.h"
#endif
#include "platform/windows/abi/parameterized.h"

namespace korvi::abi {

namespace NO = ABI::Windows::Networking::NetworkOperators;
namespace WF = ABI::Windows::Foundation;

// The completion status that the delegates receive: a scoped enum of the namespace in the SDK,
// a global enum in mingw-w64's asyncinfo.h.
#if KORVI_ABI_FROM_SDK
using AsyncStatus = ABI::Windows::Foundation::AsyncStatus;
#else
using AsyncStatus = ::AsyncStatus;
#endif

// Full class names for RoGetActivationFactory (and for a provider's DllGetActivationFactory).
inline constexpr wchar_t kMobileBroadbandModemClass[] = L"Windows.Networking.NetworkOperators.MobileBroadbandModem";
inline constexpr wchar_t kCryptographicBufferClass[] = L"Windows.Security.Cryptography.CryptographicBuffer";

}  // namespace korvi::abi
