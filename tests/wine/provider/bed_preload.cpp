// Test-bed-only, linked into the bed's builds of korvi-sar.exe and never into the shipped one:
// loads the fake providers before main. Their import-table hooks (service_hooks.cpp) must be in
// place from the service's first call, and its first is the one-instance lock, before any
// activation would load the DLL. It also hands the DLL the service's release of the objects it
// keeps for the whole process, which a run that the notebook ends inside the service's wait
// (a spent timeline) does in its stead, as the Linux build's main does.
#include <windows.h>

#include <cstdio>

#include "controller/service.h"

namespace {

const bool providersLoaded = [] {
  // The bed's folder, where the executable is, comes first in the search; the manifest's
  // activations then find this same module.
  HMODULE providers = LoadLibraryW(L"korvi_fake_providers.dll");
  if (providers == nullptr) {
    std::fprintf(stderr, "korvi-sar (Wine test bed): korvi_fake_providers.dll could not be loaded (error %lu)\n",
                 GetLastError());
    std::fflush(stderr);
    ExitProcess(2);
  }
  using HandOverFn = void(WINAPI*)(void (*)() noexcept);
  const auto handOver =
      reinterpret_cast<HandOverFn>(reinterpret_cast<void*>(GetProcAddress(providers, "KorviBedReleaseProcessObjects")));
  if (handOver != nullptr) handOver(&korvi::controller::ReleaseProcessObjects);
  return true;
}();

}  // namespace
