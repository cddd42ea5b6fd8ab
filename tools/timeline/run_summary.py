"""Reading the figures of a simulated run from its summary, the "korvi-sim: " lines that the
simulated notebook writes to standard error at exit.

The notebook works the figures out (exposure, reaction, counts) as it runs; a picture states
them as the summary gives them and works out none of its own. The summary's first line names
what ran (the scenario's SHA-256 and the build), so that a summary given beside a trace can be
checked to be that run's. Every figure line must be there, once, in the notebook's words and
order, each ended by its line break: a line that starts as one but reads otherwise (or is cut
short) raises SummaryError naming the file and the line. Where the summary says that the
trace itself is incomplete, the figures say so too ("trace_incomplete"), as they describe the
whole run and the records drawn may stop short of them.
"""

import re


class SummaryError(Exception):
    """A summary that cannot be read: str() is one line, "FILE[:LINE]: what"."""


_MS = r"(\d+)\.(\d{3}) ms"
_MEDIAN_AND_MAX = rf"(?:median {_MS}, max {_MS} simulated|median -, max -)"

# What each figure line must read: its start, then the pattern of the whole line, then the
# names of its figures in the order of the pattern's groups (a millisecond figure takes two
# groups and becomes microseconds; a name ending "?" may be absent: "-" stood for it).
_LINES = (
    ("korvi-sim: scenario: ",
     r"korvi-sim: scenario: (?:.*), sha256 ([0-9a-f]{64}); build (\S+), commit (\S+)",
     ("sha256", "version", "commit")),
    ("korvi-sim: trace: ",
     r"korvi-sim: trace: notifications (\d+), wake-ups (\d+), firmware calls (\d+) \(failed (\d+), completed (\d+)\)",
     ("notifications", "wakeups", "firmware_calls", "failed", "completed")),
    ("korvi-sim: time transmitting: ",
     rf"korvi-sim: time transmitting: {_MS} simulated, in (\d+) bursts?; transmitting at exit: (yes|no)",
     ("transmitting_us", "bursts", "transmitting_at_exit")),
    ("korvi-sim: exposure ",
     rf"korvi-sim: exposure \(transmitting while WLAN power normal\): {_MS} simulated",
     ("exposure_us",)),
    ("korvi-sim: reaction latency ",
     rf"korvi-sim: reaction latency \(transmission start to reduced WLAN power\): (\d+) measured, {_MEDIAN_AND_MAX}; "
     r"starts already reduced (\d+), never reduced (\d+)",
     ("reaction_measured", "reaction_median_us?", "reaction_max_us?", "already_reduced", "never_reduced")),
)
_PATTERNS = [re.compile(pattern, re.ASCII) for _, pattern, _ in _LINES]
_MS_FIGURES = {"transmitting_us", "exposure_us", "reaction_median_us?", "reaction_max_us?"}
# What the notebook says after the figures when its trace file is not whole.
_TRACE_INCOMPLETE = re.compile(r'korvi-sim: (trace ".*" is incomplete: .*|trace records lost: .*)')
_TEXTS = {"sha256", "version", "commit"}


def _figures_of(match, names):
    groups = list(match.groups())
    found = {}
    for name in names:
        if name in _MS_FIGURES:
            whole, thousandths = groups.pop(0), groups.pop(0)
            value = None if whole is None else int(whole) * 1000 + int(thousandths)
        else:
            text = groups.pop(0)
            value = text if name in _TEXTS else text == "yes" if name == "transmitting_at_exit" else int(text)
        found[name.rstrip("?")] = value
    return found


def read_summary(path):
    """The figures of the summary in the file at path (a run's standard error, other lines
    and all): a dict of the figures by name, sha256, version and commit among them."""
    try:
        with open(path, "rb") as stream:
            data = stream.read()
    except OSError as error:
        raise SummaryError(f"{path}: cannot read the file: {error.strerror or error}") from None
    found = {}
    seen = {}
    latest = -1  # the place in _LINES of the last figure line read
    lines = data.split(b"\n")
    for number, raw in enumerate(lines, start=1):
        text = raw.decode("utf-8", errors="replace").rstrip("\r")
        incomplete = _TRACE_INCOMPLETE.fullmatch(text)
        if incomplete and number < len(lines):
            found["trace_incomplete"] = incomplete.group(1)
        for place, (start, _, names) in enumerate(_LINES):
            if not text.startswith(start):
                continue
            where = f"{path}:{number}"
            if start in seen:
                raise SummaryError(f"{where}: a second \"{start.strip()}\" line (the first is line {seen[start]}): "
                                   "the summaries of two runs")
            if number == len(lines):
                raise SummaryError(f"{where}: the \"{start.strip()}\" line is cut short (no line break ends it)")
            if place < latest:
                raise SummaryError(f"{where}: the \"{start.strip()}\" line comes after the "
                                   f"\"{_LINES[latest][0].strip()}\" line, not in the order the notebook writes them")
            match = _PATTERNS[place].fullmatch(text)
            if match is None:
                raise SummaryError(f"{where}: not the simulated notebook's \"{start.strip()}\" line: {text[:80]!r}")
            seen[start] = number
            latest = place
            found.update(_figures_of(match, names))
    missing = [start.strip() for start, _, _ in _LINES if start not in seen]
    if missing:
        raise SummaryError(f"{path}: no \"{missing[0]}\" line: not the standard error of a run of the simulated "
                           "notebook, or of one that ended before its summary")
    return found


def summary_of_run(path, timeline):
    """The figures of the summary at path, checked to be of the run whose trace timeline is:
    the same scenario (its SHA-256) and the same build."""
    if timeline.is_capture:
        raise SummaryError(f"{path}: a summary is the simulated notebook's; a capture's trace carries its own "
                           "figures (its last record)")
    if timeline.scenario is None or timeline.build is None:
        raise SummaryError(f"{path}: the trace names no scenario nor build (a run record of version 1), so no "
                           "summary can be shown to be its run's")
    summary = read_summary(path)
    ran = {"sha256": timeline.scenario["sha256"], "version": timeline.build["version"],
           "commit": timeline.build["commit"]}
    for key, value in ran.items():
        if summary[key] != value:
            raise SummaryError(f"{path}: the summary is of another run: its {key} is {summary[key]}, the trace's "
                               f"run record has {value}")
    return {key: value for key, value in summary.items() if key not in ran}
