#!/usr/bin/python3
"""A hand-written capture of a real run (korvi-capture.exe's trace) rendered and read back.

    capture_timeline.py TOOL WORK_DIR

The capture knows notifications without their state, firmware calls (one that failed before
ExecMethod ends with a null result), the radio found off and the exit. The picture must draw
only the lanes a capture can know, say in its title that it is a capture of a real run, leave
the WLAN power unknown until the first completed call, and state the figures of the capture's
own figures record, the trace's last (the rule's cases are in tests/capture/reaction_cases.json,
which capture_reaction.py checks); a capture cut off before its end has none, and the picture
says so rather than work them out.
"""

import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import verdict  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"

CAPTURE = """\
{"t_sim_us":0,"event":"run","source":"capture","version":1}
{"t_sim_us":120000,"event":"notify"}
{"t_sim_us":121500,"event":"firmware_start","wlan_state":2}
{"t_sim_us":123000,"event":"firmware_end","wlan_state":2,"result":"0x00000000"}
{"t_sim_us":5200000,"event":"notify"}
{"t_sim_us":5200500,"event":"firmware_start","wlan_state":null}
{"t_sim_us":5201000,"event":"firmware_end","wlan_state":null,"result":null}
{"t_sim_us":6000000,"event":"notify"}
{"t_sim_us":6001000,"event":"firmware_start","wlan_state":1}
{"t_sim_us":6008000,"event":"firmware_end","wlan_state":1,"result":"0x00000000"}
{"t_sim_us":6008000,"event":"firmware_start","wlan_state":1}
{"t_sim_us":6009000,"event":"firmware_end","wlan_state":1,"result":"0x80041002"}
{"t_sim_us":7000000,"event":"radio_off"}
{"t_sim_us":7000000,"event":"firmware_start","wlan_state":1}
{"t_sim_us":7002000,"event":"firmware_end","wlan_state":1,"result":"0x00000000"}
{"t_sim_us":8002000,"event":"exit","code":0}
{"t_sim_us":8002000,"event":"figures","notifications":3,"wlan_requests":5,"stopped_before_firmware":1,\
"firmware_calls":4,"failed":1,"completed":3,"radio_off":1,"found_off":1,"read_failed":0,"exit_code":0,\
"reaction_measured":3,"reaction_median_us":3000,"reaction_max_us":8000,"unanswered":0}
"""

# What the picture must say: the figures record's (worked out by hand from the records above:
# each notification is timed to the end of the request after it, 3 ms, 1 ms and 8 ms, the
# second one's although that request failed before ExecMethod), and nothing for the figures a
# capture cannot know.
EXPECTED = {
    "data-source": "capture",
    "data-figures": "trace",
    "data-notifications": "3",
    "data-wlan-requests": "5",
    "data-firmware-calls": "4",
    "data-wakeups": "",
    "data-exposure-us": "",
    "data-reaction-measured": "3",
    "data-reaction-median-us": "3000",
    "data-reaction-max-us": "8000",
    "data-never-reduced": "0",
}


def by_class(root, tag, name):
    return [e for e in root.iter(SVG + tag) if name in (e.get("class") or "").split()]


def render(tool, trace, picture, *options):
    run = subprocess.run([tool, trace, "-o", picture, *options], capture_output=True, text=True, timeout=60)
    if run.returncode != 0 or run.stderr:
        return None, f"korvi-timeline {' '.join(options)} exited {run.returncode}: {run.stderr.strip()}"
    return ElementTree.parse(picture).getroot(), None


def main(tool, work):
    os.makedirs(work, exist_ok=True)
    trace = os.path.join(work, "capture.trace")
    with open(trace, "w", encoding="utf-8") as out:
        out.write(CAPTURE)
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    root, error = render(tool, trace, os.path.join(work, "capture.svg"))
    if error:
        return [error]
    for attribute, wanted in EXPECTED.items():
        check(root.get(attribute) == wanted, f"{attribute} is {root.get(attribute)!r}, expected {wanted!r}")

    labels = [e.text for e in by_class(root, "text", "lane-label")]
    check(labels == ["notifications", "firmware calls", "WLAN power"], f"lanes {labels}")
    check(not by_class(root, "rect", "tx") and not by_class(root, "line", "wake") and
          not by_class(root, "rect", "exposure"), "a lane or mark that a capture cannot know was drawn")
    titles = [e.text for e in by_class(root, "text", "title")]
    check(titles == ["Capture of a real run"], f"title {titles}")
    check(len(by_class(root, "polygon", "notification-seen")) == 3, "not one stateless mark per notification")

    calls = by_class(root, "rect", "firmware")
    failed = [c for c in calls if "failed" in c.get("class").split()]
    check(len(calls) == 5 and len(failed) == 2, f"{len(calls)} firmware bars, {len(failed)} failed; expected 5, 2")
    check(any("failed before ExecMethod" in (c.findtext(SVG + "title") or "") for c in failed),
          "the request that failed before ExecMethod is not shown as such")
    bars = sorted((float(c.get("x")), float(c.get("width"))) for c in calls)
    for (x0, w0), (x1, _) in zip(bars, bars[1:]):
        check(x1 >= x0 + w0 + 1, f"back-to-back firmware calls at x {x0:.2f} and {x1:.2f} run into one bar")

    # Before its first completed call a capture cannot know the WLAN power: not drawn as normal.
    unknown = by_class(root, "rect", "wlan-unknown")
    normal = sorted(float(e.get("x")) for e in by_class(root, "rect", "wlan-normal"))
    reduced = sorted(float(e.get("x")) for e in by_class(root, "rect", "wlan-reduced"))
    check(len(unknown) == 1 and float(unknown[0].get("x")) == 190.0, f"{len(unknown)} unknown-power spans")
    check(len(reduced) == 1 and normal and reduced[0] < normal[0], f"reduced at {reduced}, normal at {normal}")

    header = " ".join(e.text or "" for e in by_class(root, "text", "figures"))
    check("3 measured, median 3.000 ms, max 8.000 ms" in header, f"header {header!r}")
    check("WLAN requests 5 (1 stopped before the firmware), firmware calls 4 (failed 1, completed 3)" in header,
          f"header {header!r}")
    axis = [e.text for e in by_class(root, "text", "axis-label")]
    check(axis and "simulated" not in axis[0], f"axis label {axis}")
    radio = [e.text for e in by_class(root, "text", "radio-label")]
    check(radio == ["radio found off"], f"radio labels {radio}")

    # Cut off before its end, a capture has no figures record: the picture states none, and
    # draws all the same.
    cut = os.path.join(work, "capture-cut.trace")
    with open(cut, "w", encoding="utf-8") as out:
        out.write(CAPTURE[:CAPTURE.index('{"t_sim_us":8002000')])
    root, error = render(tool, cut, os.path.join(work, "capture-cut.svg"))
    if error:
        return failures + [error]
    stated = {name: value for name, value in root.attrib.items() if name.startswith("data-") and value and
              name not in ("data-source", "data-scenario")}
    check(not stated, f"a capture without its figures record states {stated}")
    header = " ".join(e.text or "" for e in by_class(root, "text", "figures"))
    check("figures not stated" in header and "measured" not in header, f"header of a cut capture {header!r}")
    check(len(by_class(root, "rect", "firmware")) == 5, "a cut capture's calls are not drawn")

    # A title given by hand still says what the picture is.
    root, error = render(tool, trace, os.path.join(work, "capture-titled.svg"), "--title", "Notebook 7, desk test")
    if error:
        return failures + [error]
    titles = [e.text for e in by_class(root, "text", "title")]
    check(titles == ["Notebook 7, desk test (capture of a real run)"], f"given title came back as {titles}")
    return failures


if __name__ == "__main__":
    verdict.run_as_test("capture_timeline", main)
