#include "wlan_power/wlan_tx_state.h"

#include "wlan_power/invoke_exec_int.h"

namespace korvi::wlan_power {

// InECX and InEDX carry the state: 1 normal, 2 reduced. The other four are the same in both.
void SetWLANTxState_WLANNORMAL() {
  InvokeExecINT(ExecINTInputs{L"38448", L"160", L"1", L"1", L"0", L"0"}, false);
}

void SetWLANTxState_WLANREDUCE() {
  InvokeExecINT(ExecINTInputs{L"38448", L"160", L"2", L"2", L"0", L"0"}, true);
}

}  // namespace korvi::wlan_power
