"""Random scenarios for the simulated notebook, one per seed: the same seed always gives the same
scenario, byte for byte, on every machine (random.Random with an integer seed is specified so).

A scenario is drawn from every key the scenario files know (docs/scenarios.md): a modem with
its answers timed on both sides of the service's 30 s bound on each request, or none; a
firmware that is slow or has no instance; faults of every op at call positions from the first
to past the last a run makes, or at every call; and a timeline told as a small story: bursts
whose gaps fall on both sides of the modem's five-second hysteresis, raw notifications close
enough to collapse into one wake-up, the same state twice, quiet stretches on both sides of
the loop's 60 s wait bound, the radio going off (and sometimes back on), a removed modem.
Many end with the radio off; the rest end when their timeline is spent (exit 4).
"""

import json
import random

# The fault ops and, for each, the last call position worth drawing: a little past the number
# of calls a run of a few minutes makes, so that a fault may also never fire.
ONCE = 3  # start-up calls, made once or twice
PER_REQUEST = 7  # calls made once per WLAN request
OPS = {
    # Windows Runtime, mobile broadband and CryptographicBuffer
    "RoInitialize": ONCE, "GetDefault": ONCE, "DeviceInformation": ONCE, "GetDeviceService": ONCE,
    "OpenCommandSession": ONCE, "SendSetCommandAsync": ONCE, "GetResults": 6, "StatusCode": ONCE,
    "ResponseData": ONCE, "CreateFromByteArray": ONCE, "CopyToByteArray": ONCE,
    "GetCurrentConfigurationAsync": ONCE, "SarManager": ONCE, "SetTransmissionStateChangedHysteresisAsync": ONCE,
    "TransmissionStateChanged": ONCE, "StartTransmissionStateMonitoring": ONCE,
    "StopTransmissionStateMonitoring": ONCE, "RemoveTransmissionStateChanged": ONCE,
    "GetIsTransmittingAsync": ONCE, "IsTransmitting": 8, "NetworkDeviceStatus": 8, "SimIccId": 8,
    # COM and WMI: eleven texts and six Puts per request
    "SysAllocString": 11 * PER_REQUEST, "CoInitialize": PER_REQUEST, "CoInitializeSecurity": PER_REQUEST,
    "CoCreateInstance": PER_REQUEST, "ConnectServer": PER_REQUEST, "CoSetProxyBlanket": PER_REQUEST,
    "ExecQuery": PER_REQUEST, "Next": PER_REQUEST, "GetObject": PER_REQUEST, "GetMethod": PER_REQUEST,
    "SpawnInstance": PER_REQUEST, "Put": 6 * PER_REQUEST, "Get": PER_REQUEST, "ExecMethod": PER_REQUEST,
    # kernel objects
    "CreateEvent": ONCE, "WaitForTxEvent": 8,
}

# Failure codes the platform gives: access denied, unspecified, out of memory, a dead proxy,
# an RPC server gone, a device not connected, a time-out, WMI's generic and access failures,
# not implemented, bad argument, not enough storage.
CODES = ["0x80070005", "0x80004005", "0x8007000E", "0x80010108", "0x800706BA", "0x8007048F", "0x800705B4",
         "0x80041001", "0x80041003", "0x80004001", "0x80070057", "0x80070008"]
# Next also "fails" with WBEM's success codes: no more instances, timed out.
NEXT_CODES = ["0x1", "0x40004"]
WAIT_RESULTS = ["abandoned", "failed"]

OPERATION_BOUND_MS = 30_000
WAIT_BOUND_MS = 60_000
HYSTERESIS_MS = 5_000
# How long the modem takes to answer a request: at once, soon, on both sides of the bound, or
# never (null).
ANSWER_MS = [0, 0, 0, 20, 2_000, OPERATION_BOUND_MS - 1, OPERATION_BOUND_MS, OPERATION_BOUND_MS + 1, 35_000, None]
ANSWER_KEYS = ["command_ms", "configuration_ms", "hysteresis_ms", "is_transmitting_ms"]
SIM_ICC_ID = "89490200001234567890"


def _answers(rng, modem):
    # Mostly one request timed at a time, so that each bound is met on its own too.
    for key in rng.sample(ANSWER_KEYS, rng.choice([0, 0, 1, 1, 2, 4])):
        modem[key] = rng.choice(ANSWER_MS)


def _reply(rng):
    """A SAR reply: the default's words changed, cut short, or with more elements."""
    words = [1, 0, 1, 1, 24, 8, 0, 1]
    kind = rng.choice(["words", "short", "elements", "bytes"])
    if kind == "words":
        words[rng.randrange(8)] = rng.choice([0, 2, 3, 16, 40, 0xFFFFFFFF])
    elif kind == "elements":
        count = rng.choice([2, 3, 17, 20])
        words[3] = count
        for _ in range(rng.choice([0, count - 1, count])):
            words += [rng.randrange(4), rng.randrange(8)]
    data = b"".join(w.to_bytes(4, "little") for w in words)
    if kind == "short":
        data = data[:rng.choice([0, 3, 4, 16, 31])]
    elif kind == "bytes":
        data = bytes(rng.randrange(256) for _ in range(rng.choice([8, 32, 40, 64])))
    return data.hex()


def _modem(rng):
    modem = {}
    if rng.random() < 0.3:
        modem["sim_icc_id"] = rng.choice([SIM_ICC_ID, ""])
    if rng.random() < 0.2:
        modem["device_status"] = rng.choice([0, 1, 2, 5])
    if rng.random() < 0.05:
        modem["command_session"] = False
    if rng.random() < 0.05:
        modem["sar_status_code"] = rng.choice([1, 0x80004005])
    if rng.random() < 0.1:
        modem["sar_reply"] = _reply(rng)
    if rng.random() < 0.04:
        modem["sar_manager"] = False
    _answers(rng, modem)
    return modem


def _faults(rng):
    faults = []
    for _ in range(rng.choice([0, 0, 1, 1, 1, 2, 3])):
        # Half as often a start-up call's: most of those end the run before its timeline.
        op = rng.choices(sorted(OPS), weights=[1 if OPS[op] == ONCE else 2 for op in sorted(OPS)])[0]
        if op == "WaitForTxEvent":
            code = rng.choice(WAIT_RESULTS)
        elif op == "Next":
            code = rng.choice(CODES + NEXT_CODES)
        else:
            code = rng.choice(CODES)
        fault = {"op": op, "hresult": code}
        # At every call now and then; otherwise at one position, the first ones most often.
        if rng.random() > 0.1:
            draw = rng.random()
            if draw < 0.6:
                fault["call"] = min(int(rng.expovariate(1 / 3)) + 1, OPS[op])
            elif draw < 0.9:
                fault["call"] = rng.randint(1, OPS[op])
            else:
                fault["call"] = OPS[op]
        faults.append(fault)
    return faults


def _gap(rng, exec_ms):
    """A quiet stretch before the next event: short, on both sides of the hysteresis, long, or
    on both sides of the wait bound (counted from the end of the request a wake-up makes)."""
    kind = rng.choice(["short", "short", "short", "hysteresis", "long", "wait_bound"])
    if kind == "short":
        return rng.choice([1, 10, 50, 100, 300, 800, 1_500, 2_000])
    if kind == "hysteresis":
        return HYSTERESIS_MS + rng.choice([-1, 0, 1])
    if kind == "long":
        return rng.randint(6_000, 40_000)
    return WAIT_BOUND_MS + rng.choice([0, exec_ms]) + rng.choice([-1, 0, 1])


def _timeline(rng, exec_ms):
    items = []
    at = rng.choice([0, 0, 1, 100, 500])
    transmitting = False
    removed = False
    for _ in range(rng.choice([0, 1, 2, 3, 4, 5, 6, 8])):
        step = rng.choice(["burst", "burst", "burst", "edge", "notifications", "same_twice", "radio", "radio_back"])
        if step == "burst":
            items.append({"at_ms": at, "transmitting": True})
            at += rng.choice([1, 100, 300, 1_000, HYSTERESIS_MS - 1, HYSTERESIS_MS + 1, 20_000])
            items.append({"at_ms": at, "transmitting": False})
            transmitting = False
        elif step == "edge":
            transmitting = not transmitting
            items.append({"at_ms": at, "transmitting": transmitting})
        elif step == "notifications":
            # Several changes inside one firmware call collapse into one wake-up.
            for _ in range(rng.randint(2, 5)):
                items.append({"at_ms": at, "notify": rng.random() < 0.5})
                at += rng.choice([0, 1, max(1, exec_ms // 3), 200])
        elif step == "same_twice":
            value = rng.random() < 0.5
            items += [{"at_ms": at, "notify": value}, {"at_ms": at + rng.choice([0, 10, 3_000]), "notify": value}]
        elif step == "radio":
            # Off needs both: no SIM identifier and the device not ready; either alone is not.
            change = rng.choice([{"device_status": 0, "sim_icc_id": ""}, {"device_status": 0, "sim_icc_id": ""},
                                 {"device_status": 0}, {"sim_icc_id": ""}, {"device_status": 3, "sim_icc_id": ""}])
            items.append({"at_ms": at, **change})
        else:
            items.append({"at_ms": at, "device_status": 1, "sim_icc_id": SIM_ICC_ID})
        at += _gap(rng, exec_ms)
    ending = rng.choice(["radio_off", "radio_off", "radio_off_notified", "removed", "spent"])
    if ending in ("radio_off", "radio_off_notified"):
        items.append({"at_ms": at, "device_status": 0, "sim_icc_id": ""})
        if ending == "radio_off_notified":
            items.append({"at_ms": at + rng.choice([0, 1, 100, 3_000]), "notify": rng.random() < 0.5})
    elif ending == "removed":
        items.append({"at_ms": at, "modem": "removed"})
        removed = True
        if rng.random() < 0.3:
            items.append({"at_ms": at + rng.choice([0, 1_000]), "notify": True})
    if not removed and rng.random() < 0.05:
        # A removal in the middle of the story, with things still to come after it.
        middle = items[len(items) // 2]["at_ms"] if items else 0
        items.append({"at_ms": middle, "modem": "removed"})
    # The simulator sorts by at_ms, stably: keep the file in the order it will run.
    items.sort(key=lambda item: item["at_ms"])
    return items


def generate(seed):
    """The scenario of this seed, as a dict ready for json.dumps."""
    rng = random.Random(seed)
    scenario = {"speed": rng.choice([1, 10, 100])}
    if rng.random() < 0.03:
        scenario["modem"] = None
    else:
        modem = _modem(rng)
        if modem or rng.random() < 0.1:
            scenario["modem"] = modem
    exec_ms = 0
    if rng.random() < 0.3:
        firmware = {}
        if rng.random() < 0.8:
            exec_ms = rng.choice([1, 40, 700, 2_000, HYSTERESIS_MS + 1, OPERATION_BOUND_MS + 1])
            firmware["exec_ms"] = exec_ms
        if rng.random() < 0.1:
            firmware["instance"] = False
        scenario["firmware"] = firmware
    faults = _faults(rng)
    if faults:
        scenario["faults"] = faults
    timeline = _timeline(rng, exec_ms)
    if timeline or rng.random() < 0.5:
        scenario["timeline"] = timeline
    if rng.random() < 0.02:
        scenario["another_instance"] = True
    return scenario


def text(seed):
    """The scenario file of this seed: one line of JSON, so a report can quote it whole."""
    return json.dumps(generate(seed), separators=(", ", ": ")) + "\n"
