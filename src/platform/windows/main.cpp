// korvi-sar on Windows: the three seams on the real platform, then the service.
#include "controller/service.h"
#include "platform/windows/win32_os.h"
#include "platform/windows/winrt_platform.h"
#include "platform/windows/wmi_platform.h"

int main() {
  using namespace korvi;
  static windows::Win32Os osPlatform;
  static windows::WinRtModemPlatform modemPlatform;
  static windows::ComWmiPlatform wmiPlatform;
  os::UsePlatform(osPlatform);
  cellular::UsePlatform(modemPlatform);
  wlan_power::UsePlatform(wmiPlatform);

  const int exitCode = controller::RunService();
  // The modem objects go before the process does, while the runtime is still there to take
  // them back.
  controller::ReleaseProcessObjects();
  return exitCode;
}
