#include "controller/service.h"

#include <memory>
#include <new>
#include <utility>

#include "cellular/cellular_state.h"
#include "cellular/init_sar.h"
#include "cellular/radio_state.h"
#include "cellular/state_at_start.h"
#include "cellular/tx_status_monitor.h"
#include "os/console_texts.h"
#include "os/messages.h"
#include "wlan_power/wlan_tx_state.h"

namespace korvi::controller {
namespace {

// The cellular side's process-wide objects: made by RunService before the entry function, once
// a modem is found, and released by ReleaseProcessObjects.
std::unique_ptr<cellular::ModemObjects> processObjects;

// On the radio-off path monitoring goes on and the handler may still signal the event, so the
// event stays open until the process ends.
os::UniqueEvent eventUntilExit;

// Marks a result that the entry function is given and on purpose does not act on; each use
// says why.
template <class Result>
constexpr void NotActedOn(const Result&) noexcept {}

void Report(const wchar_t* debug, const char* console) {
  WriteDebugMessage(L"%ls", debug);
  WriteConsoleMessage("%s", console);
}

// The loop's event, closed on every way out of the entry function but the radio-off one, and
// only once the handler has let go of it: a delivery that signalled a closed handle would
// signal whatever object the platform handed that value to next.
class LoopEvent {
 public:
  LoopEvent(os::EventHandle event, const std::function<void()>& detachFromHandler) noexcept
      : event_(event), detachFromHandler_(detachFromHandler) {}
  ~LoopEvent() { Close(); }
  LoopEvent(const LoopEvent&) = delete;
  LoopEvent& operator=(const LoopEvent&) = delete;

  os::EventHandle get() const noexcept { return event_.get(); }
  void Close() noexcept {
    if (event_.get() == nullptr) return;  // never made, closed already, or kept open
    if (detachFromHandler_) detachFromHandler_();
    event_.Reset();
  }
  // The handler may go on signalling the event: it stays open until the process ends.
  void KeepOpenUntilExit() noexcept { eventUntilExit = std::move(event_); }

 private:
  os::UniqueEvent event_;
  const std::function<void()>& detachFromHandler_;
};

}  // namespace

ServiceOperations CellularAndWlanOperations(cellular::ModemObjects& process) {
  return ServiceOperations{
      [&process] { return cellular::InitSAR(process); },
      [&process](os::EventHandle txEvent) { return cellular::TxStatusMonitor(process, txEvent); },
      [&process] { return cellular::TxStatusMonitoringStarted(process); },
      [&process] { cellular::ReadTransmissionStateAtStart(process); },
      [&process] { return cellular::GetRadioState(process); },
      [&process] { return process.handlerShared->isTransmitting.load(std::memory_order_acquire) != 0; },
      wlan_power::SetWLANTxState_WLANREDUCE,
      wlan_power::SetWLANTxState_WLANNORMAL,
      [&process] { cellular::StopTxStatusMonitor(process); },
      [&process] { process.handlerShared->txEventForHandler.Detach(); },
  };
}

int RunEntry(const ServiceOperations& operations) {
  // The notebook is watched whatever became of the SAR command: a rejection is on the console
  // already, a caught error on the debug channel, and the WLAN power depends on the modem's
  // transmissions, not on how it took the command.
  NotActedOn(operations.initSar());
  Report(L"[MS_SAR] Korvi::InitSAR()", console_texts::kInitSar);

  LoopEvent txEvent(os::Platform().CreateAutoResetEvent(), operations.detachTxEvent);

  try {
    // Its status does not say whether monitoring runs (a failure it caught answers 0, as a
    // start does): that is asked of the monitor below, and decides the path.
    NotActedOn(operations.txStatusMonitor(txEvent.get()));
  } catch (const cellular::PlatformError& error) {
    WriteDebugMessage(L"[MS_SAR] Korvi::TxStatusMonitor could not join the multithreaded apartment (0x%08x): exiting",
                      static_cast<unsigned>(error.code()));
    WriteConsoleMessage(console_texts::kApartmentRefused,
                        static_cast<unsigned>(error.code()));
    return kExitNotProtecting;
  }
  Report(L"[MS_SAR] Korvi::TxStatusMonitor", console_texts::kTxStatusMonitor);

  if (!operations.txStatusMonitoringStarted()) {
    // Nothing would ever signal the event: rather than wait for ever, say so and end.
    Report(L"[MS_SAR] Korvi::TxStatusMonitor did not start monitoring: exiting",
           console_texts::kMonitoringNotStarted);
    return kExitNotProtecting;
  }
  try {
    operations.readStateAtStart();
    for (;;) {
      if (operations.getRadioState() == 0) {
        Report(L"[MS_SAR]  Korvi::GetRadioState()  Off", console_texts::kRadioOff);
        operations.setWlanNormal();
        Report(L"[MS_SAR] SetWLANTxState_WLANNORMAL()", console_texts::kNormalAsked);
        os::Platform().Sleep(1000);
        Report(L"[MS_SAR] Exit while loop", console_texts::kExitWhileLoop);
        txEvent.KeepOpenUntilExit();
        return kExitNormal;
      }

      const std::uint32_t waited = os::Platform().WaitForEvent(txEvent.get(), kTxEventWaitBound);
      // No change within the bound: only the radio is checked again (a modem that went away
      // fails the check and so counts as off).
      if (waited == os::kWaitTimeout) continue;
      if (waited == os::kWaitAbandoned || waited == os::kWaitFailed) {
        Report(L"[MS_SAR] Case WIAT_OBJ Break", console_texts::kWaitObjectBreak);
        operations.stopTxStatusMonitor();
        txEvent.Close();
        Report(L"[MS_SAR] Exit while loop", console_texts::kExitWhileLoop);
        // Nothing watches the modem any more while the notebook runs on.
        Report(L"[MS_SAR] Korvi: waiting for transmission-state changes failed: exiting",
               console_texts::kWaitFailed);
        return kExitNotProtecting;
      }

      // The request follows the state at the moment of reading, not the one that signalled.
      if (operations.isTransmitting()) {
        operations.setWlanReduce();
        Report(L"[MS_SAR] SetWLANTxState_WLANREDUCE()", console_texts::kReduceAsked);
      } else {
        operations.setWlanNormal();
        Report(L"[MS_SAR] SetWLANTxState_WLANNORMAL()", console_texts::kNormalAsked);
      }
    }
  } catch (const std::bad_alloc&) {
    // The WLAN power is left as the last completed request set it: guessing a state while
    // the modem may transmit would be worse.
    operations.stopTxStatusMonitor();
    throw;
  }
}

int RunService() {
  try {
    // Before the modem is touched: two instances would drive one firmware against each other.
    switch (os::Platform().AcquireInstanceLock()) {
      case os::InstanceLock::kHeldElsewhere:
        Report(L"[MS_SAR] Korvi: another instance already watches this notebook: exiting",
               console_texts::kAnotherInstance);
        return kExitAnotherInstance;
      case os::InstanceLock::kUnavailable:
        // Nobody is known to watch: watching twice is better than not at all.
        WriteDebugMessage(L"[MS_SAR] Korvi: the one-instance lock could not be taken: watching all the same");
        break;
      case os::InstanceLock::kAcquired:
        break;
    }
    cellular::ModemLookup lookup = cellular::ObtainDefaultModem();
    if (!lookup.objects) {
      if (lookup.error) cellular::ReportCaughtError(L"0x%08x - %ls", *lookup.error);
      Report(L"[MS_SAR] Korvi: no mobile-broadband modem: nothing to do", console_texts::kNoModem);
      return kExitNormal;
    }
    processObjects = std::move(lookup.objects);
    return RunEntry(CellularAndWlanOperations(*processObjects));
  } catch (const std::bad_alloc&) {
    Report(L"[MS_SAR] Korvi: out of memory: exiting", console_texts::kOutOfMemory);
    return kExitNotProtecting;
  }
}

void ReleaseProcessObjects() noexcept {
  if (processObjects) processObjects->handlerShared->txEventForHandler.Detach();
  eventUntilExit.Reset();
  processObjects.reset();
}

}  // namespace korvi::controller
