// The runtime classes this DLL serves, by activation name.
#pragma once

#include <windows.h>
#include <activation.h>
#include <winstring.h>

namespace korvi::fake {

// The factory of the class named classId; CLASS_E_CLASSNOTAVAILABLE for any other class.
HRESULT GetActivationFactory(HSTRING classId, IActivationFactory** factory) noexcept;

}  // namespace korvi::fake
