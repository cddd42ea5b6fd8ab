// The fake WMI locator (CLSID_WbemLocator) over the simulated firmware: the locator, the
// services of "root\wmi", the query's enumerator and the class objects, each an adapter of
// the simulated WMI service's object of the same kind, so every step answers what the Linux
// build's would, faults included.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace korvi::fake {

// The class object of CLSID_WbemLocator, for DllGetClassObject.
HRESULT GetWbemLocatorClassObject(REFIID iid, void** out) noexcept;

}  // namespace korvi::fake
