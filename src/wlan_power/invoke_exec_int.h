// The firmware method call over WMI: one complete call of ExecINT of the firmware's
// class QelButtonMethodDWSi in "root\wmi", from COM set-up to the release of every object.
#pragma once

#include <new>

namespace korvi::wlan_power {

// The six inputs of ExecINT, in order, as decimal texts (the conversion to numbers is WMI's).
// A null text is passed on as a null text.
struct ExecINTInputs {
  const wchar_t* inEAX;
  const wchar_t* inEBX;
  const wchar_t* inECX;
  const wchar_t* inEDX;
  const wchar_t* inESI;
  const wchar_t* inEDI;
};

// E_OUTOFMEMORY (0x8007000E): the text "WQL" (step 7) or "__PATH" (step 13) could not be made.
class OutOfMemoryError : public std::bad_alloc {
 public:
  const char* what() const noexcept override;
};

// Makes one call and reports each step on the console; with mirror, the last reports are also
// written on the debug channel, each just before its console twin. Nothing else reaches the
// caller, except OutOfMemoryError, after everything the call held has been released.
void InvokeExecINT(const ExecINTInputs& inputs, bool mirror);

}  // namespace korvi::wlan_power
