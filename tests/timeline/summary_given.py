#!/usr/bin/python3
"""The figures of a simulated run reach its picture from the run's summary (--summary), and
only from the summary of that run.

    summary_given.py BINARY TOOL SCENARIO OTHER_SCENARIO WORK_DIR

Runs korvi-sar over SCENARIO and OTHER_SCENARIO, then draws the first run's trace: with its
own stderr the picture states that summary's figures (to the microsecond, whatever their
decimals); without one it states none and says
so; a summary of the other run, of a run that stopped before its figures, with a figure line
in other words, two runs' summaries in one file, or a summary for a capture's trace or an
older trace that names no run are refused (exit 2, one line naming the file, no picture).
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

    # Every figure as the summary gives it, to the microsecond: the notebook's are whole
    # milliseconds, so a summary with other decimals shows that none is rounded or cut.
    exact = write(os.path.join(work, "exact.stderr"), re.sub(
        r"(?m)^(korvi-sim: exposure .*): \d+\.\d{3} ms", r"\1: 1234.567 ms", re.sub(
            r"(?m)^(korvi-sim: reaction latency .*) median \d+\.\d{3} ms, max \d+\.\d{3} ms",
            r"\1 median 0.001 ms, max 2.050 ms", text)))
    run = render(tool, trace, picture, "--summary", exact)
    root = ElementTree.parse(picture).getroot() if run.returncode == 0 else None
    got = None if root is None else [root.get(name) for name in
                                     ("data-exposure-us", "data-reaction-median-us", "data-reaction-max-us")]
    header = "" if root is None else " ".join(e.text or "" for e in root.iter(SVG + "text") if e.get("class") == "figures")
    if got != ["1234567", "1", "2050"] or "1234.567 ms" not in header or "median 0.001 ms, max 2.050 ms" not in header:
        failures.append(f"figures with decimals: exit {run.returncode} {run.stderr.strip()}, stated {got}, "
                        f"header {header!r}")

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
    cases = [
        # name, trace, summary, the stderr line expected
        ("another run's", trace, other, f"{other}: the summary is of another run: its sha256 is "),
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
