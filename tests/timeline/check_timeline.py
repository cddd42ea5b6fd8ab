#!/usr/bin/python3
"""Renders the trace of a real run and reads the picture back, cheaply.

    check_timeline.py BINARY TOOL SCENARIO WORK_DIR

Runs korvi-sar over SCENARIO with a trace file, renders it with TOOL and the run's stderr as
its summary, and checks that the SVG is well-formed XML with every part in it: the six lanes,
one mark per notification, wake-up, firmware call and burst that the run's own stderr counts,
one per radio check the trace holds, the WLAN power, exposure and reaction figures stated as the
run's to the microsecond, exposure windows and transmission bars drawn from the records whose
lengths add up to the run's own totals, a header that fits the picture, a
title from the scenario's name, firmware calls that never merge into one bar and never share
a colour with the WLAN power, a time axis in simulated ms and the legend.
"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
LANES = ["modem transmitting", "notifications", "loop wake-ups", "radio checks", "firmware calls", "WLAN power"]
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


def tooltip_us(element, pattern):
    """The microseconds of the pattern's "<ms>" groups in the element's tooltip."""
    found = re.fullmatch(pattern, element.findtext(SVG + "title") or "")
    if not found:
        failures.append(f"tooltip {element.findtext(SVG + 'title')!r} does not read {pattern!r}")
        return [0] * re.compile(pattern).groups
    return [round(float(figure) * 1000) for figure in found.groups()]


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
    summary = os.path.join(work, name + ".stderr")
    with open(summary, "w", encoding="utf-8") as out:
        out.write(run.stderr)
    rendered = subprocess.run([tool, trace, "-o", picture, "--scenario", scenario, "--summary", summary],
                              capture_output=True, text=True, timeout=60)
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
    with open(trace, encoding="utf-8") as stream:
        checks = sum('"event":"radio_check"' in line for line in stream)
    check(checks and len(by_class(root, "circle", "radio-check")) == checks, f"radio check marks != {checks}")
    check(by_class(root, "rect", "wlan-normal"), "no WLAN normal-power band")
    if firmware_calls:
        check(by_class(root, "rect", "wlan-reduced") or "reduced 0)" in stderr, "no WLAN reduced-power band")

    # The picture states the run's figures, and what it draws from the records adds up to them.
    exposure = microseconds(stderr, "korvi-sim: exposure")
    transmitting = microseconds(stderr, "korvi-sim: time transmitting")
    check(root.get("data-figures") == "summary", f"figures from {root.get('data-figures')!r}, not the summary")
    drawn = sum(tooltip_us(e, r"exposure [\d.]+ to [\d.]+ ms \(([\d.]+) ms\)")[0]
                for e in by_class(root, "rect", "exposure"))
    check(drawn == exposure, f"exposure windows drawn for {drawn} us, the run's exposure {exposure} us")
    drawn = sum(end - start for start, end in (tooltip_us(e, r"transmitting ([\d.]+) to ([\d.]+) ms")
                                               for e in by_class(root, "rect", "tx")))
    check(drawn == transmitting, f"transmission drawn for {drawn} us, the run's {transmitting} us")
    check(root.get("data-exposure-us") == str(exposure),
          f"picture's exposure {root.get('data-exposure-us')} us, the run's {exposure} us")
    check(root.get("data-transmitting-us") == str(transmitting),
          f"picture's time transmitting {root.get('data-transmitting-us')} us, the run's {transmitting} us")
    if exposure:
        check(by_class(root, "rect", "exposure"), "exposure but no exposure window marked")

    reaction = re.search(r"reaction latency \(transmission start to reduced WLAN power\): (\d+) measured, "
                         r"median (-|\d+\.\d{3} ms), max (-|\d+\.\d{3} ms).*already reduced (\d+), "
                         r"never reduced (\d+)", stderr)
    check(reaction is not None, "stderr has no reaction latency line")
    if reaction:
        def us(figure):
            return "" if figure == "-" else str(round(float(figure[:-3]) * 1000))
        for attribute, wanted in (("data-reaction-measured", reaction.group(1)),
                                  ("data-reaction-median-us", us(reaction.group(2))),
                                  ("data-reaction-max-us", us(reaction.group(3))),
                                  ("data-already-reduced", reaction.group(4)),
                                  ("data-never-reduced", reaction.group(5))):
            check(root.get(attribute) == wanted, f"picture's {attribute} {root.get(attribute)}, the run's {wanted}")
        header = " ".join(e.text or "" for e in by_class(root, "text", "figures"))
        check(f"reaction (transmission start to reduced WLAN power): {reaction.group(1)} measured" in header,
              f"the header does not give the reaction figures: {header!r}")

    # The header is never cut at the right edge: each line, at a generous width per character,
    # ends inside the picture.
    width = float(root.get("width"))
    for element in by_class(root, "text", "figures") + by_class(root, "text", "title"):
        right = float(element.get("x")) + len(element.text or "") * 0.62 * float(element.get("font-size"))
        check(right <= width, f"header line passes the right edge ({right:.0f} > {width:.0f}): {element.text!r}")
    titles = [e.text for e in by_class(root, "text", "title")]
    check(titles == [f"Scenario {name}"], f"title {titles}, expected the scenario's name")

    # Every firmware call is a bar of its own, with a gap before the next, even when calls
    # follow back to back or come at one instant; and none has a WLAN power colour.
    bars = sorted((float(e.get("x")), float(e.get("width"))) for e in by_class(root, "rect", "firmware"))
    for (x0, w0), (x1, _) in zip(bars, bars[1:]):
        check(x1 >= x0 + w0 + 1, f"firmware calls at x {x0:.2f} (width {w0:.2f}) and {x1:.2f} run into one bar")
    # A failed call is drawn as the legend shows it: the colour of what it asked for, its lower
    # half red, however narrow the bar.
    halves = {(e.get("x"), e.get("width")): e for e in by_class(root, "rect", "firmware-failed")}
    legend_red = [e.get("fill") for e in by_class(root, "rect", "legend-failed")]
    for bar in by_class(root, "rect", "failed"):
        half = halves.get((bar.get("x"), bar.get("width")))
        check(half is not None and legend_red == [half.get("fill")] and bar.get("fill") != half.get("fill")
              and float(half.get("y")) > float(bar.get("y")),
              f"failed call at x {bar.get('x')} not drawn as the legend's failed call {legend_red}")
    call_fills = {e.get("fill") for e in by_class(root, "rect", "firmware")}
    power_fills = {e.get("fill") for e in by_class(root, "rect", "wlan-normal") + by_class(root, "rect", "wlan-reduced")}
    check(not call_fills & power_fills, f"firmware calls share colours {call_fills & power_fills} with the WLAN power")

    check("simulated time (ms)" in texts, "no axis label in simulated ms")

    # Whatever the title holds, the document stays well-formed (the title names the scenario,
    # as a trace that names what ran wants).
    hostile = os.path.join(work, name + "-title.svg")
    subprocess.run([tool, trace, "-o", hostile, "--title", f"<a & b>\x01\x7f {name}", "--summary", summary], check=True,
                   timeout=60)
    titles = [e.text for e in by_class(ElementTree.parse(hostile).getroot(), "text", "title")]
    check(titles == [f"<a & b>\ufffd\x7f {name}"], f"hostile title came back as {titles}")
    ticks = [float(e.text) for e in by_class(root, "text", "tick-label")]
    check(len(ticks) >= 2 and ticks == sorted(ticks) and ticks[0] == 0, f"axis ticks {ticks}")
    legend = [e for e in root.iter(SVG + "g") if e.get("id") == "legend"]
    labels = [e.text for e in legend[0].iter(SVG + "text")] if legend else []
    for wanted in ("modem transmitting", "loop wake-up"):
        check(wanted in labels, f"legend lacks {wanted!r}")
    for wanted in ("WLAN power normal", "WLAN power reduced"):
        check(any(label.startswith(wanted) for label in labels), f"legend lacks {wanted!r}")
    # The WLAN lane's two levels are drawn in the legend as in the lane: normal taller.
    levels = {name: [float(e.get("height")) for e in by_class(legend[0], "rect", f"legend-wlan-{name}")]
              for name in ("high", "low")} if legend else {}
    check(levels and levels["high"] and levels["low"] and levels["high"][0] > levels["low"][0],
          f"legend's WLAN levels {levels}")
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
