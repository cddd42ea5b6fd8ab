#!/usr/bin/python3
"""The figures of a simulated run reach its picture from the run's summary (--summary), and
only from the summary of that run.

    summary_given.py BINARY TOOL SCENARIO OTHER_SCENARIO WORK_DIR

Runs korvi-sar over SCENARIO and OTHER_SCENARIO, then draws the first run's trace: with its
own stderr the picture states that summary's figures (to the microsecond, whatever their
decimals); without one it states none and says
so; a summary of the other run or of another build, of a run that stopped before its
figures, cut inside a line, with a figure line in other words (or digits), its lines out of
order, two runs' summaries in one file, or a summary for a capture's trace or an older trace
that names no run are refused (exit 2, one line naming the file, no picture).
"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import verdict  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
OLDER_RUN = '{"t_sim_us":0,"t_wall_us":0,"event":"run","speed":1,"version":1}\n'
CAPTURE = '{"t_sim_us":0,"event":"run","source":"capture","version":1}\n'


def run_notebook(binary, scenario, work, name):
    trace, stderr = os.path.join(work, name + ".trace"), os.path.join(work, name + ".stderr")
    env = dict(os.environ, KORVI_SIM_SCENARIO=scenario, KORVI_SIM_TRACE=trace,
               KORVI_DEBUG_LOG=os.path.join(work, name + ".debug"))
    with open(stderr, "wb") as err:
        subprocess.run([binary], env=env, stdout=subprocess.DEVNULL, stderr=err, timeout=120)
    with open(stderr, encoding="utf-8") as err:
        return trace, stderr, err.read()


def write(path, text):
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
    return path


def render(tool, trace, picture, *options):
    if os.path.exists(picture):
        os.remove(picture)
    return subprocess.run([tool, trace, "-o", picture, *options], capture_output=True, text=True, timeout=60)


def main(binary, tool, scenario, other_scenario, work):
    os.makedirs(work, exist_ok=True)
    failures = []
    trace, own, text = run_notebook(binary, scenario, work, "own")
    _, other, _ = run_notebook(binary, other_scenario, work, "other")
    picture = os.path.join(work, "own.svg")

    # Its own summary: the picture's figures are the summary's, to the microsecond.
    run = render(tool, trace, picture, "--summary", own)
    if run.returncode != 0 or run.stderr:
        return [f"own summary: exit {run.returncode}, {run.stderr.strip()}"]
    root = ElementTree.parse(picture).getroot()
    exposure = re.search(r"^korvi-sim: exposure .*: (\d+)\.(\d{3}) ms simulated$", text, re.M)
    reaction = re.search(r"^korvi-sim: reaction latency .*: (\d+) measured, median (\d+)\.(\d{3}) ms, "
                         r"max (\d+)\.(\d{3}) ms simulated; starts already reduced (\d+), never reduced (\d+)$", text, re.M)
    counts = re.search(r"^korvi-sim: trace: notifications (\d+), wake-ups (\d+), firmware calls (\d+)", text, re.M)
    if not (exposure and reaction and counts):
        return [f"{scenario}: the run's stderr lacks its figures (this test wants a run with reactions):\n{text}"]
    wanted = {
        "data-figures": "summary",
        "data-exposure-us": str(int(exposure[1]) * 1000 + int(exposure[2])),
        "data-reaction-measured": reaction[1],
        "data-reaction-median-us": str(int(reaction[2]) * 1000 + int(reaction[3])),
        "data-reaction-max-us": str(int(reaction[4]) * 1000 + int(reaction[5])),
        "data-already-reduced": reaction[6], "data-never-reduced": reaction[7],
        "data-notifications": counts[1], "data-wakeups": counts[2], "data-firmware-calls": counts[3],
    }
    failures += [f"own summary: {name} is {root.get(name)!r}, expected {value!r}"
                 for name, value in wanted.items() if root.get(name) != value]

    # Every figure as the summary gives it, each in its place: a summary of this run whose
    # figures all differ (the notebook's are whole milliseconds and some equal others), and
    # which says that the trace is incomplete.
    scenario_line = next(line for line in text.splitlines() if line.startswith("korvi-sim: scenario: "))
    distinct = write(os.path.join(work, "distinct.stderr"), "\n".join((
        scenario_line,
        "korvi-sim: trace: notifications 11, wake-ups 12, firmware calls 13 (failed 3, completed 10)",
        "korvi-sim: time transmitting: 1500.001 ms simulated, in 14 bursts; transmitting at exit: no",
        "korvi-sim: exposure (transmitting while WLAN power normal): 1234.567 ms simulated",
        "korvi-sim: reaction latency (transmission start to reduced WLAN power): 17 measured, median 0.001 ms, "
        "max 2.050 ms simulated; starts already reduced 15, never reduced 16",
        'korvi-sim: trace "run.trace" is incomplete: No space left on device', "")))
    run = render(tool, trace, picture, "--summary", distinct)
    root = ElementTree.parse(picture).getroot() if run.returncode == 0 else None
    if root is None:
        failures.append(f"distinct figures: exit {run.returncode}, {run.stderr.strip()}")
    else:
        wanted = {"data-notifications": "11", "data-wakeups": "12", "data-firmware-calls": "13",
                  "data-transmitting-us": "1500001", "data-exposure-us": "1234567", "data-reaction-measured": "17",
                  "data-reaction-median-us": "1", "data-reaction-max-us": "2050", "data-already-reduced": "15",
                  "data-never-reduced": "16"}
        failures += [f"distinct figures: {name} is {root.get(name)!r}, expected {value!r}"
                     for name, value in wanted.items() if root.get(name) != value]
        header = " ".join(e.text or "" for e in root.iter(SVG + "text") if e.get("class") == "figures")
        for clause in ("transmitting 1500.001 ms in 14 bursts",
                       "exposure (transmitting while WLAN power normal) 1234.567 ms",
                       "reaction (transmission start to reduced WLAN power): 17 measured, median 0.001 ms, "
                       "max 2.050 ms, starts already reduced 15, never reduced 16",
                       "notifications 11, wake-ups 12, firmware calls 13 (failed 3)",
                       'the run\'s summary says trace "run.trace" is incomplete: No space left on device'):
            if clause not in header:
                failures.append(f"distinct figures: the header {header!r} does not say {clause!r}")

    # No summary: no figure, and a header that says why.
    run = render(tool, trace, picture)
    root = ElementTree.parse(picture).getroot() if run.returncode == 0 else None
    if root is None:
        failures.append(f"no summary: exit {run.returncode}, {run.stderr.strip()}")
    else:
        stated = {name: value for name, value in root.attrib.items()
                  if name.startswith("data-") and value and name not in ("data-source", "data-scenario")}
        header = " ".join(e.text or "" for e in root.iter(SVG + "text") if e.get("class") == "figures")
        if stated or "figures not stated" not in header or "measured" in header:
            failures.append(f"no summary: states {stated}, header {header!r}")

    lines = text.splitlines(keepends=True)
    cut = write(os.path.join(work, "cut.stderr"), "".join(l for l in lines if "reaction latency" not in l))
    reworded = write(os.path.join(work, "reworded.stderr"),
                     re.sub(r"(korvi-sim: exposure .*): (\d+)\.(\d{3}) ms", r"\1: \2,\3 ms", text))
    twice = write(os.path.join(work, "twice.stderr"), text + text)
    older = write(os.path.join(work, "older.trace"), OLDER_RUN)
    capture = write(os.path.join(work, "capture.trace"), CAPTURE)
    number = next(i for i, l in enumerate(lines, 1) if l.startswith("korvi-sim: exposure"))
    first = next(i for i, l in enumerate(lines, 1) if l.startswith("korvi-sim: scenario: "))
    last = next(i for i, l in enumerate(lines, 1) if l.startswith("korvi-sim: reaction latency"))
    transmitting = next(i for i, l in enumerate(lines, 1) if l.startswith("korvi-sim: time transmitting"))
    # The summary cut inside its last figure ("never reduced 0" losing its line break).
    cut_in_a_line = write(os.path.join(work, "cut-in-a-line.stderr"), "".join(lines[:last]).rstrip("\n"))
    reversed_lines = write(os.path.join(work, "reversed.stderr"), "".join(reversed(lines)))
    arabic = write(os.path.join(work, "arabic.stderr"), re.sub(r"in \d+ (bursts?)", "in \u0667 \\1", text))
    other_commit = write(os.path.join(work, "other-commit.stderr"),
                         re.sub(r"(?m)^(korvi-sim: scenario: .*, commit )\S+$", r"\g<1>0123456789ab", text))
    cases = [
        # name, trace, summary, the stderr line expected
        ("another run's", trace, other, f"{other}: the summary is of another run: its sha256 is "),
        ("another build's", trace, other_commit, f"{other_commit}: the summary is of another run: its commit is "
                                                 "0123456789ab, the trace's run record has "),
        ("cut in a line", trace, cut_in_a_line, f'{cut_in_a_line}:{last}: the "korvi-sim: reaction latency" line is '
                                                "cut short (no line break ends it)"),
        ("reordered", trace, reversed_lines, f'{reversed_lines}:{len(lines) + 1 - number}: the "korvi-sim: exposure" '
                                             'line comes after the "korvi-sim: reaction latency" line, not in the '
                                             "order the notebook writes them"),
        ("other digits", trace, arabic, f'{arabic}:{transmitting}: not the simulated notebook\'s "korvi-sim: time '
                                        'transmitting:" line'),
        ("stopped before its figures", trace, cut, f'{cut}: no "korvi-sim: reaction latency" line: not the standard '
                                                  "error of a run of the simulated notebook, or of one that ended "
                                                  "before its summary"),
        ("reworded", trace, reworded, f'{reworded}:{number}: not the simulated notebook\'s "korvi-sim: exposure" line'),
        ("two runs'", trace, twice, f'{twice}:{len(lines) + first}: a second "korvi-sim: scenario:" line (the first '
                                    f"is line {first}): the summaries of two runs"),
        ("an older trace's", older, own, f"{own}: the trace names no scenario nor build"),
        ("a capture's", capture, own, f"{own}: a summary is the simulated notebook's; a capture's trace carries its "
                                      "own figures"),
        ("missing", trace, os.path.join(work, "none.stderr"),
         f"{os.path.join(work, 'none.stderr')}: cannot read the file: No such file or directory"),
    ]
    for name, given_trace, summary, expected in cases:
        run = render(tool, given_trace, picture, "--summary", summary)
        line = f"korvi-timeline: --summary {expected}"
        if run.returncode != 2 or not run.stderr.startswith(line) or run.stderr.count("\n") != 1 or \
                os.path.exists(picture):
            failures.append(f"{name} summary: exit {run.returncode}, picture {os.path.exists(picture)}, "
                            f"stderr {run.stderr!r}, expected a line starting {line!r}")
    return failures


if __name__ == "__main__":
    verdict.run_as_test("summary_given", main, "BINARY TOOL SCENARIO OTHER_SCENARIO WORK_DIR")
