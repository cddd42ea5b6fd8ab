// The two WLAN transmit-power requests: each one complete firmware method call.
#pragma once

namespace korvi::wlan_power {

// Normal WLAN power; reports on the console only.
void SetWLANTxState_WLANNORMAL();
// Reduced WLAN power; also mirrors the call's last reports on the debug channel.
void SetWLANTxState_WLANREDUCE();

}  // namespace korvi::wlan_power
