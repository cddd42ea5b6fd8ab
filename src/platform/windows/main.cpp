// korvi-sar on Windows: the three seams on the real platform, then the service.
#include "controller/service.h"
#include "platform/windows/win32_os.h"
#include "platform/windows/winrt_platform.h"
#include "platform/windows/wmi_platform.h"

int main() {
  using namespace korvi;
  // Never destroyed: on the radio-off path monitoring goes on to the end, and a delivery on a
  // platform thread while the process runs its exit (after main) still finds live platforms.
  // They hold no platform objects of their own.
  os::UsePlatform(*new windows::Win32Os());
  cellular::UsePlatform(*new windows::WinRtModemPlatform());
  wlan_power::UsePlatform(*new windows::ComWmiPlatform());

  const int exitCode = controller::RunService();
  // The modem objects go before the process does, while the runtime is still there to take
  // them back.
  controller::ReleaseProcessObjects();
  return exitCode;
}
