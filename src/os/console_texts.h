// Every fixed text that the service writes to the console, in one place: the service writes
// from these, and korvi-capture recognises the service's messages by them, so a text changed
// here is changed for both. They are printf formats; each is a constant array initialised
// from a literal, which the format attribute of WriteConsoleMessage reads as it reads the
// literal itself, so the compiler still checks every call's arguments against its format.
// Byte for byte what the service has always written: the field's logs and the scenarios'
// expected outputs hold these texts.
#pragma once

namespace korvi::console_texts {

// The loop (controller).
inline constexpr char kInitSar[] = "\nKorvi::InitSAR()";
inline constexpr char kTxStatusMonitor[] = "\nKorvi::TxStatusMonitor";
inline constexpr char kApartmentRefused[] =
    "\nKorvi::TxStatusMonitor could not join the multithreaded apartment (0x%08x): exiting";
inline constexpr char kMonitoringNotStarted[] = "\nKorvi::TxStatusMonitor did not start monitoring: exiting";
inline constexpr char kRadioOff[] = "\nKorvi::GetRadioState()  Off";
inline constexpr char kExitWhileLoop[] = "\nExit while loop";
inline constexpr char kWaitObjectBreak[] = "\nCase WIAT_OBJ Break";
inline constexpr char kWaitFailed[] = "\nKorvi: waiting for transmission-state changes failed: exiting";
inline constexpr char kReduceAsked[] = "\nSetWLANTxState_WLANREDUCE()";
inline constexpr char kNormalAsked[] = "\nSetWLANTxState_WLANNORMAL()";
inline constexpr char kAnotherInstance[] = "\nKorvi: another instance already watches this notebook: exiting";
inline constexpr char kNoModem[] = "\nKorvi: no mobile-broadband modem: nothing to do";
inline constexpr char kOutOfMemory[] = "\nKorvi: out of memory: exiting";

// The modem (cellular).
inline constexpr char kSarConfigFailed[] = "\n [Korvi] - InitSAR()  set sar config failed";
inline constexpr char kNoSarManager[] = "\n [Korvi] - TxStatusMonitor() Couldn't get valid SarManager.";
inline constexpr char kMonitoringStarted[] = "\n [Korvi] sarManager.StartTransmissionStateMonitoring().";
inline constexpr char kNotification[] = "\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).";

// One firmware method call (wlan_power), in the order of its steps. A "returned" report
// carries the step's result code (printf's %x: no leading zeros); an "Err" report follows it
// when the step failed.
inline constexpr char kTextOutOfMemory[] = "SysAllocString failed. Out of memory.\n";
inline constexpr char kTextOutOfMemoryErr[] = "\n[-] Err: xxx";
inline constexpr char kCoInitializeReturned[] = "CoInitialize returned 0x%x:";
inline constexpr char kCoInitializeErr[] = "\n[-] Err: CoInitialize";
inline constexpr char kCoInitializeSecurityReturned[] = "CoInitializeSecurity returned 0x%x:";
inline constexpr char kCoInitializeSecurityErr[] = "\n[-] Err: CoInitializeSecurity";
inline constexpr char kCoCreateInstanceReturned[] = "CoCreateInstance returned 0x%x:";
inline constexpr char kCoCreateInstanceErr[] = "\n[-] Err: CoCreateInstance";
inline constexpr char kConnectServerReturned[] = "\nConnectServer returned 0x%x:";
inline constexpr char kConnectServerErr[] = "\n[-] Err: ConnectServer";
inline constexpr char kCoSetProxyBlanketErr[] = "\n[-] Err: CoSetProxyBlanket";
inline constexpr char kExecQueryErr[] = "\n[-] Err: ExecQuery";
inline constexpr char kNextErr[] = "\n[-] Err: Next";
inline constexpr char kGetObjectReturned[] = "\nGetObject returned 0x%x:";
inline constexpr char kGetObjectErr[] = "\n[-] Err: GetObject";
inline constexpr char kGetMethodReturned[] = "\nGetMethod returned 0x%x:";
inline constexpr char kGetMethodErr[] = "\n[-] Err: GetMethod";
inline constexpr char kSpawnInstanceReturned[] = "\nSpawnInstance returned 0x%x:";
inline constexpr char kSpawnInstanceErr[] = "\n[-] Err: SpawnInstance";
// %u: the in-parameter's place, 0 (InEAX) to kPutPlaces - 1 (InEDI).
inline constexpr char kPutReturned[] = "\nPut ArgName%u returned 0x%x:";
inline constexpr char kPutErr[] = "\n[-] Err: Put ArgName%u";
inline constexpr char kGetReturnedValueReturned[] = "\npObj Get returned 0x%x:";
inline constexpr char kGetReturnedValueErr[] = "\n[-] Err: Get";
inline constexpr char kExecMethodReturned[] = "\nExecMethod returned 0x%x:";
inline constexpr char kExecMethodErr[] = "\n[-] Err: ExecMethod";
inline constexpr char kTerminatingNormally[] = "Terminating normally\n";

// The in-parameters that the Put reports number: InEAX to InEDI. The WLAN state travels in
// InECX, whose Put report is the one that says whether the firmware was given the state.
inline constexpr unsigned kPutPlaces = 6;
inline constexpr unsigned kStatePutPlace = 2;

}  // namespace korvi::console_texts
