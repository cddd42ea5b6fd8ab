#!/usr/bin/python3
"""The timeline's picture of a capture states the figures korvi-capture printed for it.

    capture_reaction.py TOOL CASES_JSON WORK_DIR

CASES_JSON is the table of small capture traces that korvi-capture's own test reads too
(tests/capture/reaction_cases.json), each ending with the figures record that the capture's
test shows the capture to write: each trace is rendered, and the picture's figures must be
that record's and its header the capture's summary lines.
"""

import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import verdict  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"


def header_of(root):
    # The header wraps its clauses, joined by "; ", over several lines: joined again, the
    # clauses read as one text whatever the wrapping.
    return "; ".join(e.text or "" for e in root.iter(SVG + "text") if "figures" in (e.get("class") or "").split())


def check_case(tool, case, work):
    name = case["name"]
    trace = os.path.join(work, f"{name}.trace")
    picture = os.path.join(work, f"{name}.svg")
    with open(trace, "w", encoding="utf-8") as out:
        out.writelines(json.dumps(line, separators=(",", ":")) + "\n" for line in case["trace"])
    run = subprocess.run([tool, trace, "-o", picture], capture_output=True, text=True, timeout=60)
    if run.returncode != 0 or run.stderr:
        return [f"{name}: korvi-timeline exited {run.returncode}: {run.stderr.strip()}"]
    root = ElementTree.parse(picture).getroot()
    figures = case["trace"][-1]

    def shown(value):
        return "" if value is None else str(value)
    expected = {
        "data-figures": "trace",
        "data-reaction-measured": shown(figures["reaction_measured"]),
        "data-reaction-median-us": shown(figures["reaction_median_us"]),
        "data-reaction-max-us": shown(figures["reaction_max_us"]),
        "data-never-reduced": shown(figures["unanswered"]),
        "data-notifications": shown(figures["notifications"]),
        "data-wlan-requests": shown(figures["wlan_requests"]),
        "data-firmware-calls": shown(figures["firmware_calls"]),
    }
    failures = [f"{name}: {attribute} is {root.get(attribute)!r}, expected {wanted!r}"
                for attribute, wanted in expected.items() if root.get(attribute) != wanted]
    header = header_of(root)
    failures += [f"{name}: the header {header!r} does not say {line!r}"
                 for line in case["summary"] if line not in header]
    return failures


def main(tool, cases_path, work):
    os.makedirs(work, exist_ok=True)
    with open(cases_path, encoding="utf-8") as stream:
        cases = json.load(stream)["cases"]
    if len(cases) < 10:
        return [f"{cases_path}: only {len(cases)} cases"]
    failures = []
    for case in cases:
        failures += check_case(tool, case, work)
    return failures


if __name__ == "__main__":
    verdict.run_as_test("capture_reaction", main, "TOOL CASES_JSON WORK_DIR")
