#!/usr/bin/python3
"""A picture's title says what ran: from the trace's own scenario where it names one, which
a --scenario or --title given by hand may repeat but never contradict (exit code 2, one line
naming the option and the trace's run record, no picture); a trace that names none (an older
one, a capture) is titled as it always was.

    picture_title.py TOOL WORK_DIR
"""

import hashlib
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
SCENARIO_TEXT = b'{ "timeline": [ { "at_ms": 10, "transmitting": true } ] }\n'
SHA = hashlib.sha256(SCENARIO_TEXT).hexdigest()
BUILD = '"build":{"version":"1.0.0","commit":"0123456789ab"}'
REST = '{"t_sim_us":20,"t_wall_us":4,"event":"exit","code":0}\n'


def sim_trace(scenario):
    return ('{"t_sim_us":0,"t_wall_us":0,"event":"run","speed":5,"version":2,' + BUILD +
            ',"scenario":' + scenario + '}\n' + REST)


TRACES = {
    "storm": sim_trace('{"path":"scenarios/storm.json","sha256":"' + SHA + '"}'),
    "embedded": sim_trace('{"embedded":true,"sha256":"' + SHA + '"}'),
    "windows": sim_trace('{"path":"C:\\\\k\\\\storm.json","sha256":"' + SHA + '"}'),
    "older": '{"t_sim_us":0,"t_wall_us":0,"event":"run","speed":5,"version":1}\n' + REST,
    "capture": '{"t_sim_us":0,"event":"run","source":"capture","version":2,' + BUILD + '}\n'
               '{"t_sim_us":20,"event":"exit","code":0}\n',
}

# trace, options, the title drawn (or None), the refusal after "korvi-timeline: " (or None).
# In the options, FILE is a file holding the scenario's text and OTHER one holding another text,
# both named storm.json.
CASES = [
    ("storm", [], "Scenario storm", None),
    ("storm", ["--scenario", "storm"], "Scenario storm", None),
    ("storm", ["--scenario", "FILE"], "Scenario storm", None),
    ("storm", ["--title", "The storm, at 20 ms"], "The storm, at 20 ms", None),
    ("windows", [], "Scenario storm", None),
    ("embedded", [], "Scenario default", None),
    ("embedded", ["--scenario", "no/such/dir/default.json"], "Scenario default", None),
    ("storm", ["--scenario", "default"], None,
     '--scenario "default": the trace ran scenario "storm" (TRACE:1, its run record)'),
    ("storm", ["--scenario", "OTHER"], None,
     f'--scenario "OTHER": the file\'s SHA-256 is {hashlib.sha256(b"{}").hexdigest()}, the scenario the trace '
     f"ran had {SHA} (TRACE:1, its run record)"),
    ("storm", ["--title", "Scenario storm_slow_firmware"], None,
     '--title "Scenario storm_slow_firmware" does not name the scenario "storm" that the trace ran '
     "(TRACE:1, its run record)"),
    ("embedded", ["--title", "Scenario\nstorm"], None,
     '--title "Scenario\\nstorm" does not name the scenario "default" that the trace ran (TRACE:1, its run record)'),
    # Nothing in the trace to contradict: as given.
    ("older", ["--scenario", "scenarios/anything.json"], "Scenario anything", None),
    ("older", ["--title", "Whatever it was"], "Whatever it was", None),
    ("older", [], "Run of the simulated notebook", None),
    ("capture", ["--scenario", "desk"], "Capture of a real run: desk", None),
]


def main(tool, work):
    os.makedirs(os.path.join(work, "other"), exist_ok=True)
    files = {"FILE": os.path.join(work, "storm.json"), "OTHER": os.path.join(work, "other", "storm.json")}
    with open(files["FILE"], "wb") as out:
        out.write(SCENARIO_TEXT)
    with open(files["OTHER"], "wb") as out:
        out.write(b"{}")
    failures = []
    for index, (name, options, title, refusal) in enumerate(CASES):
        trace = os.path.join(work, name + ".trace")
        with open(trace, "w", encoding="utf-8") as out:
            out.write(TRACES[name])
        picture = os.path.join(work, f"{index}.svg")
        if os.path.exists(picture):
            os.remove(picture)
        options = [files.get(option, option) for option in options]
        run = subprocess.run([tool, trace, "-o", picture, *options], capture_output=True, text=True, timeout=60)
        what = f"{name} {options}"
        if refusal is not None:
            wanted = "korvi-timeline: " + refusal.replace("TRACE", trace).replace("OTHER", files["OTHER"]) + "\n"
            if run.returncode != 2 or run.stderr != wanted or os.path.exists(picture):
                failures.append(f"{what}: exit {run.returncode}, stderr {run.stderr!r}, expected 2 and {wanted!r}")
            continue
        if run.returncode != 0 or run.stderr:
            failures.append(f"{what}: exit {run.returncode}: {run.stderr.strip()}")
            continue
        root = ElementTree.parse(picture).getroot()
        drawn = [e.text for e in root.iter(SVG + "text") if e.get("class") == "title"]
        if drawn != [title]:
            failures.append(f"{what}: title {drawn}, expected {title!r}")
        header = " ".join(e.text or "" for e in root.iter(SVG + "text") if e.get("class") == "figures")
        if name in ("storm", "windows") and f"SHA-256 {SHA}" not in header:
            failures.append(f"{what}: the header does not say what ran: {header!r}")
    for failure in failures:
        print(f"picture_title: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
