#!/usr/bin/python3
"""Renders the trace of a real run and reads the picture back, cheaply.

    check_timeline.py BINARY TOOL SCENARIO WORK_DIR

Runs korvi-sar over SCENARIO with a trace file, renders it with TOOL, and checks that the SVG
is well-formed XML with every part in it: the five lanes, one mark per notification, wake-up,
firmware call and burst that the run's own stderr counts, the WLAN power, exposure figures
equal to the run's to the microsecond, a time axis in simulated ms and the legend.
"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
LANES = ["modem transmitting", "notifications", "loop wake-ups", "firmware calls", "WLAN power"]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def microseconds(stderr, prefix):
    """The first "<digits>.<3 digits> ms" figure on the stderr line that starts with prefix."""
    for line in stderr.splitlines():
        if line.startswith(prefix):
            found = re.search(r"(\d+)\.(\d{3}) ms", line)
            if found:
                return int(found.group(1)) * 1000 + int(found.group(2))
    failures.append(f"no figure on a stderr line starting {prefix!r}")
    return None


def count(stderr, pattern):
    found = re.search(pattern, stderr)
    if not found:
        failures.append(f"stderr has no {pattern!r}")
        return None
    return int(found.group(1))


def by_class(root, tag, name):
    return [e for e in root.iter(SVG + tag) if name in (e.get("class") or "").split()]


def main(binary, tool, scenario, work):
    os.makedirs(work, exist_ok=True)
    name = os.path.splitext(os.path.basename(scenario))[0]
    trace = os.path.join(work, name + ".trace")
    picture = os.path.join(work, name + ".svg")
    env = dict(os.environ, KORVI_SIM_SCENARIO=scenario, KORVI_SIM_TRACE=trace,
               KORVI_DEBUG_LOG=os.path.join(work, name + ".debug"))
    run = subprocess.run([binary], env=env, capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, f"korvi-sar exited {run.returncode}")
    rendered = subprocess.run([tool, trace, "-o", picture, "--title", name], capture_output=True, text=True,
                              timeout=60)
    check(rendered.returncode == 0 and rendered.stderr == "",
          f"korvi-timeline exited {rendered.returncode}: {rendered.stderr.strip()}")
    if failures:
        return

    root = ElementTree.parse(picture).getroot()  # raises on XML that is not well-formed
    check(root.tag == SVG + "svg", f"root element is {root.tag}")
    texts = [e.text or "" for e in root.iter(SVG + "text")]
    for lane in LANES:
        check(lane in texts, f"no lane labelled {lane!r}")

    stderr = run.stderr
    notifications = count(stderr, r"trace: notifications (\d+),")
    wakeups = count(stderr, r", wake-ups (\d+),")
    firmware_calls = count(stderr, r", firmware calls (\d+) \(failed")
    bursts = count(stderr, r", in (\d+) bursts?;")
    check(len(by_class(root, "polygon", "notification")) == notifications,
          f"notification marks != {notifications}")
    check(len(by_class(root, "line", "wake")) == wakeups, f"wake-up marks != {wakeups}")
    check(len(by_class(root, "rect", "firmware")) == firmware_calls, f"firmware call bars != {firmware_calls}")
    check(len(by_class(root, "rect", "tx")) == bursts, f"transmission bars != {bursts}")
    check(by_class(root, "rect", "wlan-normal"), "no WLAN normal-power band")
    if firmware_calls:
        check(by_class(root, "rect", "wlan-reduced") or "reduced 0)" in stderr, "no WLAN reduced-power band")

    # The picture folds the records itself; its figures must be the run's own.
    exposure = microseconds(stderr, "korvi-sim: exposure")
    transmitting = microseconds(stderr, "korvi-sim: time transmitting")
    check(root.get("data-exposure-us") == str(exposure),
          f"picture's exposure {root.get('data-exposure-us')} us, the run's {exposure} us")
    check(root.get("data-transmitting-us") == str(transmitting),
          f"picture's time transmitting {root.get('data-transmitting-us')} us, the run's {transmitting} us")
    if exposure:
        check(by_class(root, "rect", "exposure"), "exposure but no exposure window marked")

    check("simulated time (ms)" in texts, "no axis label in simulated ms")

    # Whatever the title holds, the document stays well-formed.
    hostile = os.path.join(work, name + "-title.svg")
    subprocess.run([tool, trace, "-o", hostile, "--title", "<a & b>\x01\x7f"], check=True, timeout=60)
    titles = [e.text for e in by_class(ElementTree.parse(hostile).getroot(), "text", "title")]
    check(titles == ["<a & b>\ufffd\x7f"], f"hostile title came back as {titles}")
    ticks = [float(e.text) for e in by_class(root, "text", "tick-label")]
    check(len(ticks) >= 2 and ticks == sorted(ticks) and ticks[0] == 0, f"axis ticks {ticks}")
    legend = [e for e in root.iter(SVG + "g") if e.get("id") == "legend"]
    labels = [e.text for e in legend[0].iter(SVG + "text")] if legend else []
    for wanted in ("modem transmitting", "WLAN power normal", "WLAN power reduced", "loop wake-up"):
        check(wanted in labels, f"legend lacks {wanted!r}")
    check(any(label.startswith("exposure") for label in labels), "legend lacks exposure")
    check(any(label.startswith("notification") for label in labels), "legend lacks notifications")


if __name__ == "__main__":
    try:
        main(*sys.argv[1:5])
    except ElementTree.ParseError as error:
        failures.append(f"the SVG is not well-formed XML: {error}")
    for failure in failures:
        print(f"check_timeline: {failure}")
    sys.exit(1 if failures else 0)
