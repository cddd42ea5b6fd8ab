// Watches what this test program gives back to the platform: while a FreesWatch lives, the
// program's own imports of WindowsDeleteString, SysFreeString and VariantClear are patched to
// record each HSTRING and BSTR they are given (VariantClear: a VT_BSTR value's string). The
// live counts sit in the owners; this is the platform's side, which sees a text that an owner
// counted as given back but never handed over, or one that never went through an owner.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winstring.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "import_patch.h"

namespace korvi::windows::test {

class FreesWatch {
 public:
  FreesWatch()
      : deleteString_(Patch("WindowsDeleteString", &WatchDeleteString, realDeleteString)),
        freeString_(Patch("SysFreeString", &WatchFreeString, realFreeString)),
        variantClear_(Patch("VariantClear", &WatchVariantClear, realVariantClear)) {
    const std::lock_guard<std::mutex> hold(lock);
    givenBack.clear();
  }
  FreesWatch(const FreesWatch&) = delete;
  FreesWatch& operator=(const FreesWatch&) = delete;

  // Whether the program imports the function at all: when it does not, nothing in it ever
  // gives that kind back.
  bool deletesHStrings() const { return deleteString_.patched(); }
  bool freesBstrs() const { return freeString_.patched(); }
  bool clearsVariants() const { return variantClear_.patched(); }

  static bool GivenBack(const void* value) {
    const std::lock_guard<std::mutex> hold(lock);
    return value != nullptr && std::find(givenBack.begin(), givenBack.end(), value) != givenBack.end();
  }

 private:
  template <class Function>
  static fake::ImportPatch Patch(const char* name, Function watch, Function& real) {
    fake::ImportPatch patch(::GetModuleHandleW(nullptr), name, reinterpret_cast<void*>(watch));
    real = reinterpret_cast<Function>(patch.original());
    return patch;
  }
  static void Record(const void* value) {
    const std::lock_guard<std::mutex> hold(lock);
    givenBack.push_back(value);
  }
  static HRESULT WINAPI WatchDeleteString(HSTRING text) {
    Record(text);
    return realDeleteString(text);
  }
  static void WINAPI WatchFreeString(BSTR text) {
    Record(text);
    realFreeString(text);
  }
  static HRESULT WINAPI WatchVariantClear(VARIANTARG* value) {
    if (value != nullptr && value->vt == VT_BSTR) Record(value->bstrVal);
    return realVariantClear(value);
  }

  static inline std::mutex lock;
  static inline std::vector<const void*> givenBack;
  static inline HRESULT(WINAPI* realDeleteString)(HSTRING) = nullptr;
  static inline void(WINAPI* realFreeString)(BSTR) = nullptr;
  static inline HRESULT(WINAPI* realVariantClear)(VARIANTARG*) = nullptr;

  fake::ImportPatch deleteString_;
  fake::ImportPatch freeString_;
  fake::ImportPatch variantClear_;
};

}  // namespace korvi::windows::test
