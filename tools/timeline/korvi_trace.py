"""Reading a korvi-sar trace into a timeline model.

Two writers make traces: the simulated notebook (KORVI_SIM_TRACE) and korvi-capture.exe,
which records a real run from its console. Both write one JSON object per line with the same
records; a capture says so in its run record ("source": "capture") and carries only what a
console can tell: no modem edges (tx), no wake-ups, no state in a notification, none of the
service's steps that the simulated notebook records (monitoring, the state read at start, the
radio checks), and a firmware call whose request failed before ExecMethod ends with a null
result. Where a simulated run's trace lacks those steps (an older writer's), the model reads
two of them from the order of the other records. Every record is checked against what its
writer writes: a line that is not raises TraceError naming the file and the line, so a
picture is never drawn from a trace that was misread. A run record of
version 2 names what ran (the build; on the simulated notebook, the scenario file and its
SHA-256), and the model keeps it; one of version 1, from before, names nothing.

The model folds the records into what a picture draws: the WLAN power is what the last
firmware call that completed successfully set (only state 2 is reduced), and exposure is time
transmitting while the power is not reduced. A simulated run starts at normal power; a capture
cannot know the power before its first completed call, so until then it is unknown.

The model works out no figures (totals, reaction, counts): the writers do. A capture's trace
ends with a figures record, korvi-capture's own; a simulated run states its figures in its
summary on stderr (run_summary), which korvi-timeline is given beside the trace.
"""

import json
import re
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
    result: object  # "0x00000000"; "" while the call never returned; None: failed before ExecMethod
    ok: bool


@dataclass
class Mark:
    at_us: int
    label: str
    ok: bool = True


@dataclass
class RadioCheck:
    at_us: int
    on: object  # True or False as the reads said; None when one failed (the service takes it as off)
    result: str


SIMULATED = "sim"
CAPTURE = "capture"
FROM_TRACE = "trace"
FROM_SUMMARY = "summary"


@dataclass
class Timeline:
    source: str = SIMULATED
    speed: object = 1.0  # None for a capture, which has no speed
    end_us: int = 0
    exited: bool = False
    exit_code: object = None
    transmitting: list = field(default_factory=list)  # Span
    wlan_normal: list = field(default_factory=list)  # Span
    wlan_reduced: list = field(default_factory=list)  # Span
    wlan_unknown: list = field(default_factory=list)  # Span; a capture before its first completed call
    exposure: list = field(default_factory=list)  # Span
    notifications: list = field(default_factory=list)  # Mark; label "on" or "off"
    wakeups: list = field(default_factory=list)  # Mark; label is the wait result
    firmware: list = field(default_factory=list)  # FirmwareCall
    radio: list = field(default_factory=list)  # Mark; label "radio off (...)" or "radio on"
    cancels: list = field(default_factory=list)  # Mark; label is the modem call given up on
    # What the simulated notebook records of the service's own steps (records_steps: the
    # trace has any of these records): the modem taking its start or stop of monitoring; what
    # the state read at start gave (label "transmitting", "not transmitting", "failed CODE",
    # or "no answer" for a request given up on; ok False but for an answer); each radio check.
    records_steps: bool = False
    monitoring: list = field(default_factory=list)  # Mark; label "started" or "stopped"
    state_at_start: object = None  # Mark, or None
    radio_checks: list = field(default_factory=list)  # RadioCheck
    # Read from the order of the records, where a simulated run's trace has none of those
    # above (an older writer's): the first wake-up, when no notification came before it,
    # which only the state read at start can have caused (it wakes the loop when the modem
    # transmits or the state cannot be read); and each firmware call that no wake-up came
    # before since the previous call: the loop makes one only when a radio check found the
    # cellular side off, to restore normal power before it ends.
    woken_by_state_at_start: object = None  # Mark, or None
    restores_at_radio_off: list = field(default_factory=list)  # Mark
    # What ran, from a run record of version 2: {"version", "commit"}; {"path" or "embedded",
    # "sha256"} (the simulated notebook's only). None in an older trace.
    build: object = None
    scenario: object = None
    # The run's figures as their writer worked them out, by the names of a capture's figures
    # record or of the simulated notebook's summary (run_summary); None until given. Where
    # from: FROM_TRACE (a capture's figures record) or FROM_SUMMARY.
    figures: object = None
    figures_from: object = None

    @property
    def scenario_name(self):
        """The scenario's name the trace gives: the base name of its file without ".json", or
        "default" for the embedded one; None when the trace names none."""
        if self.scenario is None:
            return None
        if self.scenario.get("embedded"):
            return "default"
        return scenario_name(self.scenario["path"])

    @property
    def is_capture(self):
        return self.source == CAPTURE


def scenario_name(path):
    """A scenario file's name: its base name (after the last / or \\, as a path given on
    Windows has them) without ".json"."""
    base = path.replace("\\", "/").rsplit("/", 1)[-1]
    return base[:-len(".json")] if base.endswith(".json") and len(base) > len(".json") else base


INT64_MAX = 2**63 - 1  # what the notebook's 64-bit fields can hold


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool) and -INT64_MAX - 1 <= value <= INT64_MAX


def _is_code(value):
    return (isinstance(value, str) and len(value) == 10 and value.startswith("0x")
            and all(c in "0123456789ABCDEF" for c in value[2:]))


_SHA256 = re.compile("[0-9a-f]{64}")
# A commit as the build records it: 12 hex digits, "-dirty" when the tree had changes, or
# "unknown" without git; "-" is what the scenario comparisons put in its place so that expected
# traces stay the same from commit to commit.
_COMMIT = re.compile("[0-9a-f]{12}(-dirty)?|unknown|-")


def _is_build(value):
    return (isinstance(value, dict) and set(value) == {"version", "commit"}
            and isinstance(value["version"], str) and value["version"] != ""
            and isinstance(value["commit"], str) and _COMMIT.fullmatch(value["commit"]) is not None)


def _is_scenario(value):
    if not isinstance(value, dict) or not isinstance(value.get("sha256"), str) \
            or _SHA256.fullmatch(value["sha256"]) is None:
        return False
    if set(value) == {"path", "sha256"}:
        return isinstance(value["path"], str) and value["path"] != ""
    return set(value) == {"embedded", "sha256"} and value["embedded"] is True


# The run record of version 2 names what ran; version 1 (older traces) has neither member.
_BUILD = (_is_build, '{"version": TEXT, "commit": 12 hex digits, "-dirty" after them, or "unknown"}', False)
_SCENARIO = (_is_scenario, '{"path": TEXT, "sha256": 64 lowercase hex digits} or {"embedded": true, "sha256": ...}',
             False)
_PROVENANCE = {SIMULATED: ("build", "scenario"), CAPTURE: ("build",)}

# Per event: the fields it carries besides the timestamps, with a check, what it expects, and
# whether it must be there.
_BOOL = (lambda v: isinstance(v, bool), "true or false", True)
_BOOL_OR_NULL = (lambda v: v is None or isinstance(v, bool), "true, false or null (the read failed)", True)
_CODE = (_is_code, 'a result code "0x" and 8 hex digits', True)
_CODE_OR_NULL = (lambda v: v is None or _is_code(v), 'a result code "0x" and 8 hex digits, or null', True)
_INT = (_is_int, "an integer", True)
_STATE = (lambda v: v is None or (_is_int(v) and v >= 0), "a WLAN state (a non-negative integer or null)", True)
_CAUSE = (lambda v: v in ("status", "removed"), '"status" or "removed"', True)
_VERSION = (lambda v: _is_int(v) and v in (1, 2), "1 or 2", True)
_COUNT = (lambda v: _is_int(v) and v >= 0, "a non-negative integer", True)
_COUNT_OR_NULL = (lambda v: v is None or (_is_int(v) and v >= 0), "a non-negative integer or null", True)
# The counts of a capture's figures record: korvi-capture's summary, key by key.
CAPTURE_COUNTS = ("notifications", "wlan_requests", "stopped_before_firmware", "firmware_calls", "failed",
                  "completed", "radio_off", "found_off", "read_failed", "reaction_measured", "unanswered")
_FIELDS = {
    "run": {"speed": (lambda v: isinstance(v, (int, float)) and not isinstance(v, bool) and v > 0,
                      "a positive number", True),
            "version": _VERSION, "build": _BUILD, "scenario": _SCENARIO},
    "tx": {"transmitting": _BOOL, "scenario_ms": _INT},
    "notify": {"transmitting": _BOOL, "result": _CODE},
    "wake": {"result": _CODE},
    "firmware_start": {"wlan_state": _STATE},
    "firmware_end": {"wlan_state": _STATE, "result": _CODE},
    "radio_off": {"cause": _CAUSE},
    "radio_on": {},
    "cancel": {"op": (lambda v: isinstance(v, str) and v != "", "the modem call whose request was cancelled", True)},
    "monitoring": {"started": _BOOL},
    "state_at_start": {"transmitting": _BOOL_OR_NULL, "result": _CODE},
    "radio_check": {"on": _BOOL_OR_NULL, "result": _CODE},
    "exit": {"code": _INT},
}
# The reads whose record carries what they found, or null and the failure's code: one or the
# other, never both.
_READINGS = {"state_at_start": "transmitting", "radio_check": "on"}
OK = "0x00000000"
# A capture knows only what the service's console says: when a notification came (not its
# state, nor what the handler returned), the firmware calls, the radio found off, the exit.
# Its request that failed before ExecMethod ends with a null result. Why the radio counts as
# off does not show, but for a read of it that failed (the debug channel's caught error just
# before the loop's report): then the cause is "read_failed". Its last record, figures, after
# the exit, is korvi-capture's summary as numbers (a capture cut off before its end has none).
_CAPTURE_FIELDS = {
    "run": {"source": (lambda v: v == CAPTURE, f'"{CAPTURE}"', True), "version": _VERSION, "build": _BUILD},
    "notify": {},
    "firmware_start": {"wlan_state": _STATE},
    "firmware_end": {"wlan_state": _STATE, "result": _CODE_OR_NULL},
    "radio_off": {"cause": (lambda v: v == "read_failed", '"read_failed"', False)},
    "exit": {"code": _INT},
    "figures": {**{key: _COUNT for key in CAPTURE_COUNTS}, "exit_code": _COUNT_OR_NULL,
                "reaction_median_us": _COUNT_OR_NULL, "reaction_max_us": _COUNT_OR_NULL},
}
# The simulated notebook stamps simulated and wall-clock time; a capture's one clock is the
# monotonic clock since the child started, kept under the simulated key so that one reader
# takes both.
_STAMPS = {SIMULATED: ("t_sim_us", "t_wall_us"), CAPTURE: ("t_sim_us",)}
_OPTIONAL_STAMPS = {SIMULATED: (), CAPTURE: ("t_wall_us",)}


def _source_of(record):
    """The writer a trace's first record names: a capture's run record says so."""
    if isinstance(record, dict) and record.get("event") == "run" and "source" in record:
        return CAPTURE
    return SIMULATED


def _check_stamp(record, stamp, where):
    if not _is_int(record[stamp]) or record[stamp] < 0:
        raise TraceError(f"{where}: {stamp}: expected a non-negative integer, got {json.dumps(record[stamp])}")


def _check(record, where, source=SIMULATED):
    if not isinstance(record, dict):
        raise TraceError(f"{where}: expected a JSON object")
    for stamp in _STAMPS[source]:
        if stamp not in record:
            raise TraceError(f"{where}: {stamp}: missing")
        _check_stamp(record, stamp, where)
    for stamp in _OPTIONAL_STAMPS[source]:
        if stamp in record:
            _check_stamp(record, stamp, where)
    schema = _CAPTURE_FIELDS if source == CAPTURE else _FIELDS
    event = record.get("event")
    if event is not None and not isinstance(event, str):
        raise TraceError(f"{where}: event: expected the name of an event, got {json.dumps(event)[:40]}")
    if source == CAPTURE and event in _FIELDS and event not in schema:
        raise TraceError(f"{where}: event: a capture of a real run has no {event} records; "
                         f"expected one of {', '.join(schema)}")
    if event not in schema:
        shown = "missing" if event is None else f"unknown event {json.dumps(event)}"
        raise TraceError(f"{where}: event: {shown}; expected one of {', '.join(schema)}")
    fields = schema[event]
    for key, (valid, expected, required) in fields.items():
        if key not in record:
            if not required:
                continue
            raise TraceError(f"{where}: {key}: missing for a {event} record")
        if not valid(record[key]):
            raise TraceError(f"{where}: {key}: expected {expected}, got {json.dumps(record[key])[:40]}")
    if event == "run" and record["version"] >= 2:
        for key in _PROVENANCE[source]:
            if key not in record:
                raise TraceError(f"{where}: {key}: missing for a run record of version {record['version']}")
    elif event == "run":
        for key in _PROVENANCE[source]:
            if key in record:
                raise TraceError(f"{where}: {key}: a run record of version 1 has none (version 2 names what ran)")
    for figure in ("reaction_median_us", "reaction_max_us"):
        if event == "figures" and (record[figure] is None) != (record["reaction_measured"] == 0):
            raise TraceError(f"{where}: {figure}: a figures record gives it when a reaction was measured and null "
                             f"when none was, got {json.dumps(record[figure])} with {record['reaction_measured']} "
                             "measured")
    if event in _READINGS and (record[_READINGS[event]] is None) != (record["result"] != OK):
        found = _READINGS[event]
        raise TraceError(f"{where}: {found}: a {event} record gives a value with result {OK} and null with a "
                         f"failure, got {json.dumps(record[found])} with {record['result']}")
    known = set(fields) | set(_STAMPS[source]) | set(_OPTIONAL_STAMPS[source]) | {"event"}
    extra = sorted(set(record) - known)
    if extra:
        kind = f"a {event} record of a capture" if source == CAPTURE else f"a {event} record"
        raise TraceError(f"{where}: {extra[0]}: unknown key for {kind}")
    return event


def _read_lines(path):
    try:
        with open(path, "rb") as stream:
            data = stream.read()
    except OSError as error:
        raise TraceError(f"{path}: cannot read the file: {error.strerror or error}") from None
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()  # the line break that ends the last record
    return lines


def _parse(raw, where):
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        raise TraceError(f"{where}: not valid UTF-8") from None
    if not text.strip():
        raise TraceError(f"{where}: empty line")
    try:
        return json.loads(text)
    except (json.JSONDecodeError, RecursionError) as error:
        message = getattr(error, "msg", "too deeply nested")
        raise TraceError(f"{where}: not valid JSON: {message}") from None


def _log_trace(path, lines, life):
    """The trace records of one life of korvi-supervisor's field log (the last life that has
    any, when life is None), each with the line of the log it stands on."""
    lives = {}
    for number, raw in enumerate(lines, start=1):
        where = f"{path}:{number}"
        record = _parse(raw, where)
        if not isinstance(record, dict) or not isinstance(record.get("log"), str):
            raise TraceError(f"{where}: not a record of the field log (no \"log\" kind)")
        if record["log"] != "trace":
            continue
        if not _is_int(record.get("life")) or not isinstance(record.get("record"), dict):
            raise TraceError(f"{where}: a trace record of the field log needs \"life\" and \"record\"")
        lives.setdefault(record["life"], []).append((number, record["record"]))
    if not lives:
        raise TraceError(f"{path}: the field log holds no trace records")
    if life is None:
        life = max(lives)
    if life not in lives:
        raise TraceError(f"{path}: the field log holds no trace records of life {life} "
                         f"(it has lives {min(lives)} to {max(lives)})")
    return lives[life]


def _check_figures_against_exit(figures, exit_record, exited_at, where):
    """The capture writes its figures at the child's end, as the exit record is: the same
    stamp and the same code, or no code where its end was not seen (no exit record)."""
    if exit_record is None:
        if figures["exit_code"] is not None:
            raise TraceError(f"{where}: exit_code: {figures['exit_code']} in a capture with no exit record "
                             "(null where the service's end was not seen)")
        return
    if figures["exit_code"] != exit_record["code"]:
        raise TraceError(f"{where}: exit_code: {json.dumps(figures['exit_code'])}, the exit record of line "
                         f"{exited_at} has code {exit_record['code']}")
    if figures["t_sim_us"] != exit_record["t_sim_us"]:
        raise TraceError(f"{where}: t_sim_us: the figures record is stamped {figures['t_sim_us']}, the exit record "
                         f"of line {exited_at} {exit_record['t_sim_us']}: a capture writes both at the service's end")


def _a(event):
    return f"{'an' if event[0] in 'aeiou' else 'a'} {event}"


def read_records(path, life=None):
    """The checked records of the trace at path, each with its line number. A field log of
    korvi-supervisor gives the capture records of one of its lives (life; default the last)."""
    lines = _read_lines(path)
    if not lines:
        raise TraceError(f"{path}: empty trace (no records)")
    first = _parse(lines[0], f"{path}:1")
    if isinstance(first, dict) and "log" in first:
        entries = _log_trace(path, lines, life)
    else:
        if life is not None:
            raise TraceError(f"{path}: --life is for a field log of korvi-supervisor; this is a trace")
        entries = [(number, _parse(raw, f"{path}:{number}")) for number, raw in enumerate(lines, start=1)]
    records = []
    last_sim = -1
    exited_at = None
    exit_record = None
    figures_at = None
    source = SIMULATED
    for index, (number, record) in enumerate(entries):
        where = f"{path}:{number}"
        if index == 0:
            source = _source_of(record)
        event = _check(record, where, source)
        if index == 0 and event != "run":
            raise TraceError(f"{where}: expected the run record first, got {event}")
        if index > 0 and event == "run":
            raise TraceError(f"{where}: a second run record")
        if figures_at is not None:
            raise TraceError(f"{where}: {_a(event)} record after the figures record of line {figures_at}, "
                             "which ends a capture")
        if exited_at is not None and event != "figures":
            raise TraceError(f"{where}: {_a(event)} record after the exit record of line {exited_at}")
        if record["t_sim_us"] < last_sim:
            raise TraceError(f"{where}: t_sim_us goes back in time ({record['t_sim_us']} after {last_sim})")
        last_sim = record["t_sim_us"]
        if event == "exit":
            exited_at, exit_record = number, record
        if event == "figures":
            figures_at = number
            _check_figures_against_exit(record, exit_record, exited_at, where)
        records.append(record)
    return records


def build_timeline(records):
    """Folds checked records (read_records) into spans and marks."""
    first = records[0]
    capture = _source_of(first) == CAPTURE
    timeline = Timeline(source=CAPTURE if capture else SIMULATED,
                        speed=None if capture else float(first["speed"]),
                        build=first.get("build"), scenario=first.get("scenario"))
    start_us = first["t_sim_us"]
    transmitting = False
    reduced = False
    power_known = not capture  # the simulated notebook starts at normal power
    tx_since = None
    wlan_since = start_us
    exposure_since = None
    open_call = None
    notified = False  # a notification has come (simulated runs)
    woken = False  # a wake-up has come
    woken_since_call = False  # a wake-up has come since the last firmware call began

    def close_wlan(at):
        if not power_known:
            spans = timeline.wlan_unknown
        else:
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
            notified = True
            if capture:
                timeline.notifications.append(Mark(at, "seen"))
            else:
                timeline.notifications.append(Mark(at, "on" if record["transmitting"] else "off",
                                                   record["result"] == "0x00000000"))
        elif event == "wake":
            ok = record["result"] == "0x00000000"
            timeline.wakeups.append(Mark(at, record["result"], ok))
            if not woken and not notified and ok:
                timeline.woken_by_state_at_start = Mark(at, "state at start")
            woken = woken_since_call = True
        elif event == "firmware_start":
            if not capture and not woken_since_call:
                timeline.restores_at_radio_off.append(Mark(at, "radio found off"))
            woken_since_call = False
            open_call = FirmwareCall(at, at, record["wlan_state"], "", False)
            timeline.firmware.append(open_call)
        elif event == "firmware_end":
            ok = record["result"] == "0x00000000"
            if open_call is not None:
                open_call.end_us, open_call.result, open_call.ok = at, record["result"], ok
                open_call = None
            else:  # an end without its start: still a call that ended here
                timeline.firmware.append(FirmwareCall(at, at, record["wlan_state"], record["result"], ok))
            if ok:
                now_reduced = record["wlan_state"] == REDUCED
                if now_reduced != reduced or not power_known:
                    close_wlan(at)
                    reduced = now_reduced
                    power_known = True
                    wlan_since = at
        elif event == "radio_off":
            cause = record.get("cause")
            timeline.radio.append(Mark(at, f"radio off ({cause.replace('_', ' ')})" if cause else "radio off"))
        elif event == "radio_on":
            timeline.radio.append(Mark(at, "radio on"))
        elif event == "cancel":
            timeline.cancels.append(Mark(at, record["op"]))
        elif event == "monitoring":
            timeline.monitoring.append(Mark(at, "started" if record["started"] else "stopped"))
        elif event == "state_at_start":
            state = record["transmitting"]
            label = f"failed {record['result']}" if state is None else "transmitting" if state else "not transmitting"
            timeline.state_at_start = Mark(at, label, state is not None)
        elif event == "radio_check":
            timeline.radio_checks.append(RadioCheck(at, record["on"], record["result"]))
        elif event == "exit":
            timeline.exited = True
            timeline.exit_code = record["code"]
        elif event == "figures":
            timeline.figures = {key: value for key, value in record.items() if key not in ("t_sim_us", "event")}
            timeline.figures_from = FROM_TRACE
        exposed = transmitting and not reduced
        if exposed and not was_exposed:
            exposure_since = at
        elif was_exposed and not exposed:
            if at > exposure_since:
                timeline.exposure.append(Span(exposure_since, at))
            exposure_since = None

    timeline.records_steps = any(r["event"] in ("monitoring", "state_at_start", "radio_check") for r in records)
    if timeline.records_steps:
        # The records say it: no guess from their order.
        timeline.woken_by_state_at_start = None
        timeline.restores_at_radio_off = []
        if timeline.state_at_start is None:
            # A state request never answered has the service's cancel of it as its only record.
            given_up = [mark for mark in timeline.cancels if mark.label == "GetIsTransmittingAsync"]
            if given_up:
                timeline.state_at_start = Mark(given_up[0].at_us, "no answer", False)
                timeline.cancels.remove(given_up[0])

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


def read_timeline(path, life=None):
    return build_timeline(read_records(path, life))
