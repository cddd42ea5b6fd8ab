// IRestrictedErrorInfo and GetRestrictedErrorInfo: the richer error text that the Windows
// Runtime may leave on the thread after a failing call. The SDK declares them in
// restrictederrorinfo.h and roerrorapi.h; mingw-w64 10 has neither header (its
// libruntimeobject.a does export GetRestrictedErrorInfo), so they are declared here from the
// platform's documentation: IID 82ba7092-4c88-427d-a7bc-16dd93feb67e, derived from IUnknown,
// GetErrorDetails at slot 3, GetReference at slot 4.
#pragma once

#include <windows.h>
#include <oleauto.h>

#if defined(_MSC_VER) && __has_include(<restrictederrorinfo.h>)
#include <restrictederrorinfo.h>
#include <roerrorapi.h>
#else

MIDL_INTERFACE("82ba7092-4c88-427d-a7bc-16dd93feb67e")
IRestrictedErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* description, HRESULT* error, BSTR* restrictedDescription,
                                                    BSTR* capabilitySid) = 0;                // 3
  virtual HRESULT STDMETHODCALLTYPE GetReference(BSTR* reference) = 0;                       // 4
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IRestrictedErrorInfo, 0x82ba7092, 0x4c88, 0x427d, 0xa7, 0xbc, 0x16, 0xdd, 0x93, 0xfe, 0xb6, 0x7e)
#endif

extern "C" HRESULT WINAPI GetRestrictedErrorInfo(IRestrictedErrorInfo** restrictedErrorInfo);

#endif
