"""Reading a korvi-sar trace (KORVI_SIM_TRACE) into a timeline model.

The trace is one JSON object per line. Every record is checked: a line that is not what the
simulated notebook writes raises TraceError naming the file and the line, so a picture is
never drawn from a trace that was misread.

The model folds the records the way the service's summary at exit does: the WLAN power is
what the last firmware call that completed successfully set (it starts normal; only state 2
is reduced), and exposure is time transmitting while the power is not reduced.
"""

import json
from dataclasses import dataclass, field

REDUCED = 2


class TraceError(Exception):
    """A trace that cannot be read: str() is one line, "FILE:LINE: what"."""


@dataclass
class Span:
    start_us: int
    end_us: int


@dataclass
class FirmwareCall:
    start_us: int
    end_us: int
    wlan_state: object  # int, or None when the call carried no state
    result: str  # "0x00000000"; "" while the call never returned
    ok: bool


@dataclass
class Mark:
    at_us: int
    label: str
    ok: bool = True


@dataclass
class Timeline:
    speed: float = 1.0
    end_us: int = 0
    exited: bool = False
    exit_code: object = None
    transmitting: list = field(default_factory=list)  # Span
    wlan_normal: list = field(default_factory=list)  # Span
    wlan_reduced: list = field(default_factory=list)  # Span
    exposure: list = field(default_factory=list)  # Span
    notifications: list = field(default_factory=list)  # Mark; label "on" or "off"
    wakeups: list = field(default_factory=list)  # Mark; label is the wait result
    firmware: list = field(default_factory=list)  # FirmwareCall
    radio: list = field(default_factory=list)  # Mark; label "radio off (...)" or "radio on"

    def total_us(self, spans):
        return sum(s.end_us - s.start_us for s in spans)


INT64_MAX = 2**63 - 1  # what the notebook's 64-bit fields can hold


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool) and -INT64_MAX - 1 <= value <= INT64_MAX


def _is_code(value):
    return (isinstance(value, str) and len(value) == 10 and value.startswith("0x")
            and all(c in "0123456789ABCDEF" for c in value[2:]))


# Per event: the fields it must have besides the timestamps, with a check and what it expects.
_BOOL = (lambda v: isinstance(v, bool), "true or false")
_CODE = (_is_code, 'a result code "0x" and 8 hex digits')
_INT = (_is_int, "an integer")
_STATE = (lambda v: v is None or (_is_int(v) and v >= 0), "a WLAN state (a non-negative integer or null)")
_FIELDS = {
    "run": {"speed": (lambda v: isinstance(v, (int, float)) and not isinstance(v, bool) and v > 0,
                      "a positive number"),
            "version": (lambda v: v == 1, "1")},
    "tx": {"transmitting": _BOOL, "scenario_ms": _INT},
    "notify": {"transmitting": _BOOL, "result": _CODE},
    "wake": {"result": _CODE},
    "firmware_start": {"wlan_state": _STATE},
    "firmware_end": {"wlan_state": _STATE, "result": _CODE},
    "radio_off": {"cause": (lambda v: v in ("status", "removed"), '"status" or "removed"')},
    "radio_on": {},
    "exit": {"code": _INT},
}
_STAMPS = ("t_sim_us", "t_wall_us")


def _check(record, where):
    if not isinstance(record, dict):
        raise TraceError(f"{where}: expected a JSON object")
    for stamp in _STAMPS:
        if stamp not in record:
            raise TraceError(f"{where}: {stamp}: missing")
        if not _is_int(record[stamp]) or record[stamp] < 0:
            raise TraceError(f"{where}: {stamp}: expected a non-negative integer, got {json.dumps(record[stamp])}")
    event = record.get("event")
    if event not in _FIELDS:
        shown = "missing" if event is None else f"unknown event {json.dumps(event)}"
        raise TraceError(f"{where}: event: {shown}; expected one of {', '.join(_FIELDS)}")
    fields = _FIELDS[event]
    for key, (valid, expected) in fields.items():
        if key not in record:
            raise TraceError(f"{where}: {key}: missing for a {event} record")
        if not valid(record[key]):
            raise TraceError(f"{where}: {key}: expected {expected}, got {json.dumps(record[key])[:40]}")
    extra = sorted(set(record) - set(fields) - set(_STAMPS) - {"event"})
    if extra:
        raise TraceError(f"{where}: {extra[0]}: unknown key for a {event} record")
    return event


def read_records(path):
    """The checked records of the trace at path, each with its line number."""
    try:
        with open(path, "rb") as stream:
            data = stream.read()
    except OSError as error:
        raise TraceError(f"{path}: cannot read the file: {error.strerror or error}") from None
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()  # the line break that ends the last record
    if not lines:
        raise TraceError(f"{path}: empty trace (no records)")
    records = []
    last_sim = -1
    exited_at = None
    for number, raw in enumerate(lines, start=1):
        where = f"{path}:{number}"
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            raise TraceError(f"{where}: not valid UTF-8") from None
        if not text.strip():
            raise TraceError(f"{where}: empty line")
        try:
            record = json.loads(text)
        except (json.JSONDecodeError, RecursionError) as error:
            message = getattr(error, "msg", "too deeply nested")
            raise TraceError(f"{where}: not valid JSON: {message}") from None
        event = _check(record, where)
        if number == 1 and event != "run":
            raise TraceError(f"{where}: expected the run record first, got {event}")
        if number > 1 and event == "run":
            raise TraceError(f"{where}: a second run record")
        if exited_at is not None:
            raise TraceError(f"{where}: a {event} record after the exit record of line {exited_at}")
        if record["t_sim_us"] < last_sim:
            raise TraceError(f"{where}: t_sim_us goes back in time ({record['t_sim_us']} after {last_sim})")
        last_sim = record["t_sim_us"]
        if event == "exit":
            exited_at = number
        records.append(record)
    return records


def build_timeline(records):
    """Folds checked records (read_records) into spans and marks."""
    timeline = Timeline(speed=float(records[0]["speed"]))
    start_us = records[0]["t_sim_us"]
    transmitting = False
    reduced = False
    tx_since = None
    wlan_since = start_us
    exposure_since = None
    open_call = None

    def close_wlan(at):
        spans = timeline.wlan_reduced if reduced else timeline.wlan_normal
        if at > wlan_since or not spans:
            spans.append(Span(wlan_since, at))

    for record in records:
        at = record["t_sim_us"]
        event = record["event"]
        was_exposed = transmitting and not reduced
        if event == "tx" and record["transmitting"] != transmitting:
            transmitting = record["transmitting"]
            if transmitting:
                tx_since = at
            else:
                timeline.transmitting.append(Span(tx_since, at))
        elif event == "notify":
            timeline.notifications.append(Mark(at, "on" if record["transmitting"] else "off",
                                               record["result"] == "0x00000000"))
        elif event == "wake":
            timeline.wakeups.append(Mark(at, record["result"], record["result"] == "0x00000000"))
        elif event == "firmware_start":
            open_call = FirmwareCall(at, at, record["wlan_state"], "", False)
            timeline.firmware.append(open_call)
        elif event == "firmware_end":
            ok = record["result"] == "0x00000000"
            if open_call is not None:
                open_call.end_us, open_call.result, open_call.ok = at, record["result"], ok
                open_call = None
            else:  # an end without its start: still a call that ended here
                timeline.firmware.append(FirmwareCall(at, at, record["wlan_state"], record["result"], ok))
            if ok and (record["wlan_state"] == REDUCED) != reduced:
                close_wlan(at)
                reduced = record["wlan_state"] == REDUCED
                wlan_since = at
        elif event == "radio_off":
            timeline.radio.append(Mark(at, f"radio off ({record['cause']})"))
        elif event == "radio_on":
            timeline.radio.append(Mark(at, "radio on"))
        elif event == "exit":
            timeline.exited = True
            timeline.exit_code = record["code"]
        exposed = transmitting and not reduced
        if exposed and not was_exposed:
            exposure_since = at
        elif was_exposed and not exposed:
            if at > exposure_since:
                timeline.exposure.append(Span(exposure_since, at))
            exposure_since = None

    end = records[-1]["t_sim_us"]
    timeline.end_us = end
    if transmitting:
        timeline.transmitting.append(Span(tx_since, end))
    if exposure_since is not None and end > exposure_since:
        timeline.exposure.append(Span(exposure_since, end))
    close_wlan(end)
    if open_call is not None:
        open_call.end_us = end
    return timeline


def read_timeline(path):
    return build_timeline(read_records(path))
