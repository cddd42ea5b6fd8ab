"""Reading the figures of a simulated run from its summary, the "korvi-sim: " lines that the
simulated notebook writes to standard error at exit.

The notebook works the figures out (exposure, reaction, counts) as it runs; a picture states
them as the summary gives them and works out none of its own. The summary's first line names
what ran (the scenario's SHA-256 and the build), so that a summary given beside a trace can be
checked to be that run's. Every figure line must be there, in the notebook's words: a line
that starts as one but reads otherwise raises SummaryError naming the file and the line.
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
_MS_FIGURES = {"transmitting_us", "exposure_us", "reaction_median_us?", "reaction_max_us?"}
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
    for number, raw in enumerate(data.split(b"\n"), start=1):
        text = raw.decode("utf-8", errors="replace").rstrip("\r")
        for start, pattern, names in _LINES:
            if not text.startswith(start):
                continue
            where = f"{path}:{number}"
            if start in seen:
                raise SummaryError(f"{where}: a second \"{start.strip()}\" line (the first is line {seen[start]}): "
                                   "the summaries of two runs")
            match = re.fullmatch(pattern, text)
            if match is None:
                raise SummaryError(f"{where}: not the simulated notebook's \"{start.strip()}\" line: {text[:80]!r}")
            seen[start] = number
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
