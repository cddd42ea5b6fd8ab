#!/usr/bin/python3
"""Every picture laid out as it must be: no text covers another, a line or a shape, or leaves
the picture; nothing is drawn right of the exit; and whatever is drawn has its entry in the
legend, drawn alike.

    layout_check.py TOOL EXPECTED_DIR DOCS_DIR WORK_DIR

Run over every scenario's expected trace in EXPECTED_DIR (*.sim-trace: the simulated
notebook's traces without their wall-clock stamps, put back here as the reader wants them,
each drawn with its expected summary, *.stderr),
the pictures in DOCS_DIR (timeline-*.svg) and a few traces written here that crowd the
labels together. A text's box is measured with the width estimate the layout itself uses
(svg_timeline.text_box), so a label placed by another rule than the one it is checked by
cannot slip through.
"""

import glob
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "timeline"))
import svg_timeline  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
RUN = '{"t_sim_us":0,"t_wall_us":0,"event":"run","speed":1,"version":1}'
# The groups that draw the run; what they draw must be in the legend.
DRAWN_GROUPS = ("exposure", "transmission", "notifications", "wakeups", "radio-checks", "firmware", "wlan", "events")
# Everything right of the exit line would say that it happened after the service ended.
AFTER_EXIT_GROUPS = ("exposure", "transmission", "notifications", "wakeups", "radio-checks", "firmware", "wlan")


def record(at, event, **fields):
    members = "".join(f',"{key}":{value}' for key, value in fields.items())
    return f'{{"t_sim_us":{at},"t_wall_us":0,"event":"{event}"{members}}}'


def lines(*records):
    return "\n".join((RUN,) + records) + "\n"


# Traces that put many labels close together: at the start, just before the exit, and
# many in one instant; the exit at the right edge of the plot.
CROWDED = {
    "radio_flapping_before_exit": lines(
        record(0, "wake", result='"0x00000000"'),
        record(0, "firmware_start", wlan_state=2), record(0, "firmware_end", wlan_state=2, result='"0x00000000"'),
        *[record(9_990_000 + 1000 * i, "radio_off" if i % 2 == 0 else "radio_on", **(
            {"cause": '"status"'} if i % 2 == 0 else {})) for i in range(7)],
        record(9_999_000, "cancel", op='"GetIsTransmittingAsync"'),
        record(10_000_000, "firmware_start", wlan_state=1),
        record(10_000_000, "firmware_end", wlan_state=1, result='"0x80041008"'),
        record(10_000_000, "firmware_start", wlan_state=1),
        record(10_000_000, "firmware_end", wlan_state=1, result='"0x00000000"'),
        record(10_000_000, "exit", code=0)),
    "cancels_at_start": lines(
        record(0, "cancel", op='"SendSetCommandAsync"'), record(0, "cancel", op='"GetSarManagerAsync"'),
        record(0, "cancel", op='"SetTransmissionStateChangedHysteresisAsync"'),
        record(0, "tx", transmitting="true", scenario_ms=0),
        record(1000, "radio_off", cause='"removed"'),
        record(2000, "exit", code=1)),
}


# The moments some scenarios must show (kind: their times in ms), and none else of those
# kinds, as the trace records them: monitoring started (or stopped), the state read at start
# (a request given up on is its own cancel no more), the radio check that found the radio
# off or failed, and each radio check in its lane by what it found.
MARKS = {
    "default": {"monitoring": [0], "state-at-start": [0], "found-off": [14000], "cancel": [],
                "radio-check-on": [0, 300, 6500, 8000], "radio-check-off": [14000], "radio-check-failed": []},
    "collapsed_changes": {"state-at-start": [0], "found-off": [7100], "radio-check-on": [0, 2100, 4100]},
    "transmitting_at_start": {"monitoring": [2000], "state-at-start": [2000], "found-off": [125000],
                              "radio-check-on": [2000, 2000, 62000, 65000], "radio-check-off": [125000]},
    "state_at_start_read_fails": {"monitoring": [0], "state-at-start": [0], "found-off": [60000]},
    "state_at_start_never_answers": {"monitoring": [0], "state-at-start": [30000], "found-off": [90000],
                                     "cancel": [], "radio-check-on": [30000, 30000]},
    "modem_removed_while_watching": {"found-off": [61000], "radio-check-on": [0, 1000], "radio-check-off": [],
                                     "radio-check-failed": [61000]},
    "wait_abandoned": {"monitoring": [0, 0], "found-off": []},
    # An older writer's trace, without those records: two of the moments read from the order of
    # the others, and no lane of radio checks.
    "transmitting_at_start_older": {"monitoring": [], "state-at-start": [2000], "found-off": [125000],
                                    "radio-check-on": []},
    # There a notification came before the first wake-up, which is then the notification's.
    "default_older": {"state-at-start": []},
}
# The records that an older writer's trace lacks.
STEP_RECORDS = re.compile(r'^.*"event":"(monitoring|state_at_start|radio_check)".*\n', flags=re.M)
# The label each marked moment must carry, where it says what the record said.
LABELS = {
    "state_at_start_read_fails": {"state-at-start": ["state at start: failed 0x80010108, taken as transmitting"]},
    "state_at_start_never_answers": {"state-at-start": ["state at start: no answer, taken as transmitting"]},
    "transmitting_at_start": {"state-at-start": ["state at start: transmitting"], "monitoring": ["monitoring started"]},
    "modem_removed_while_watching": {"found-off": ["radio read failed 0x8007048F, taken as off"]},
    "wait_abandoned": {"monitoring": ["monitoring started", "monitoring stopped"]},
    "transmitting_at_start_older": {"state-at-start": ["state at start woke the loop"]},
}


def marked(root, kind):
    """The times (ms) of the lines marking moments of kind, or of the radio checks of kind."""
    times = []
    for element in list(root.iter(SVG + "line")) + list(root.iter(SVG + "circle")):
        classes = (element.get("class") or "").split()
        if kind in classes and ("mark" in classes or "radio-check" in classes):
            times.append(float(re.search(r" at (\d+\.\d+) ms(:|$)", element.findtext(SVG + "title")).group(1)))
    return times


def labels(root, kind):
    return [text.text for text in root.iter(SVG + "text") if f"{kind}-label" in (text.get("class") or "").split()]


def box_of(text):
    anchor = text.get("text-anchor") or "start"
    return svg_timeline.text_box(float(text.get("x")), float(text.get("y")), text.text or "",
                                 float(text.get("font-size")), anchor)


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def style(element):
    """How an element looks, as the legend must show it: polygons by their fill and by their
    outline apart (a notification's outline says its handler failed, whatever its state)."""
    tag = element.tag[len(SVG):]
    if tag == "polygon":
        keys = [("polygon", element.get("fill"))]
        if element.get("stroke"):
            keys.append(("outline", element.get("stroke")))
        return keys
    return [(tag, element.get("fill"), element.get("stroke"), element.get("stroke-dasharray"),
             element.get("fill-opacity"))]


def check_picture(path, failures):
    root = ElementTree.parse(path).getroot()
    name = os.path.basename(path)
    width, height = float(root.get("width")), float(root.get("height"))
    texts = [(t.text, box_of(t)) for t in root.iter(SVG + "text")]
    for index, (text, box) in enumerate(texts):
        if box[0] < 0 or box[1] < 0 or box[2] > width or box[3] > height:
            failures.append(f"{name}: {text!r} leaves the picture: box {[round(v, 1) for v in box]}")
        for other, other_box in texts[index + 1:]:
            if overlaps(box, other_box):
                failures.append(f"{name}: {text!r} and {other!r} overlap")
    for line in root.iter(SVG + "line"):
        x1, y1, x2, y2 = (float(line.get(k)) for k in ("x1", "y1", "x2", "y2"))
        segment = (min(x1, x2), min(y1, y2), max(x1, x2) + 1e-6, max(y1, y2) + 1e-6)
        for text, box in texts:
            if overlaps(segment, box):
                failures.append(f"{name}: {text!r} is crossed by a line ({line.get('class')}) at x {x1:.1f}")
    shapes = []
    for rect in root.iter(SVG + "rect"):
        if rect.get("class") != "background":
            x, y = float(rect.get("x")), float(rect.get("y"))
            shapes.append((rect, (x, y, x + float(rect.get("width")), y + float(rect.get("height")))))
    for circle in root.iter(SVG + "circle"):
        x, y, r = (float(circle.get(k)) for k in ("cx", "cy", "r"))
        shapes.append((circle, (x - r, y - r, x + r, y + r)))
    for element, shape in shapes:
        for text, box in texts:
            if overlaps(shape, box):
                failures.append(f"{name}: {text!r} covers a shape ({element.get('class')})")

    groups = {g.get("id"): g for g in root.iter(SVG + "g")}
    exits = [float(e.get("x1")) for e in groups["events"].iter(SVG + "line") if "exit" in e.get("class").split()]
    if exits:
        for group in AFTER_EXIT_GROUPS:
            for element in groups.get(group, ()):
                tag = element.tag[len(SVG):]
                if tag == "rect":
                    right = float(element.get("x")) + float(element.get("width"))
                elif tag == "line":
                    right = float(element.get("x1"))
                elif tag == "circle":  # a radio check: its centre is its instant
                    right = float(element.get("cx"))
                else:  # a notification's mark: its middle is its instant
                    xs = [float(point.split(",")[0]) for point in element.get("points").split()]
                    right = (min(xs) + max(xs)) / 2
                if right > exits[0] + 0.01:
                    failures.append(f"{name}: {element.get('class')} drawn right of the exit "
                                    f"({right:.2f} > {exits[0]:.2f}): {element.findtext(SVG + 'title')}")

    legend = {key for element in groups["legend"] if element.tag != SVG + "text" for key in style(element)}
    for group in DRAWN_GROUPS:
        for element in groups.get(group, ()):
            if element.tag == SVG + "text":
                continue  # a label says itself what it marks
            for key in style(element):
                if key not in legend:
                    failures.append(f"{name}: {element.get('class')} drawn as {key}, which the legend does not show")


def main(tool, expected_dir, docs_dir, work):
    os.makedirs(work, exist_ok=True)
    failures = []
    traces = {}
    for path in sorted(glob.glob(os.path.join(expected_dir, "*.sim-trace"))):
        with open(path, encoding="utf-8") as stream:
            # The wall-clock stamp after the simulated one, as the notebook writes it.
            traces[os.path.basename(path)[:-len(".sim-trace")]] = re.sub(
                r'^\{"t_sim_us":(\d+),', r'{"t_sim_us":\1,"t_wall_us":0,', stream.read(), flags=re.M)
    if len(traces) < 10:
        failures.append(f"only {len(traces)} expected traces in {expected_dir}")
    if "transmitting_at_start" in traces:
        traces["transmitting_at_start_older"] = STEP_RECORDS.sub("", traces["transmitting_at_start"])
    if "default" in traces:
        traces["default_older"] = STEP_RECORDS.sub("", traces["default"])
    traces.update(CROWDED)
    pictures = sorted(glob.glob(os.path.join(docs_dir, "timeline-*.svg")))
    if len(pictures) < 4:
        failures.append(f"only {len(pictures)} pictures in {docs_dir}")
    for name, content in traces.items():
        trace = os.path.join(work, name + ".trace")
        with open(trace, "w", encoding="utf-8") as out:
            out.write(content)
        picture = os.path.join(work, name + ".svg")
        # With the run's summary beside it, as a picture of a real run is drawn: its figures
        # are in the header that the labels must clear.
        summary = os.path.join(expected_dir, re.sub(r"_older$", "", name) + ".stderr")
        given = ["--summary", summary] if os.path.isfile(summary) else []
        run = subprocess.run([tool, trace, "-o", picture, *given], capture_output=True, text=True, timeout=60)
        if run.returncode != 0:
            failures.append(f"{name}: korvi-timeline exited {run.returncode}: {run.stderr.strip()}")
            continue
        pictures.append(picture)
    for picture in pictures:
        check_picture(picture, failures)
    for name, kinds in MARKS.items():
        root = ElementTree.parse(os.path.join(work, name + ".svg")).getroot()
        for kind, times in kinds.items():
            if marked(root, kind) != times:
                failures.append(f"{name}: {kind} marked at {marked(root, kind)} ms, expected {times}")
        for kind, texts in LABELS.get(name, {}).items():
            if labels(root, kind) != texts:
                failures.append(f"{name}: {kind} labelled {labels(root, kind)}, expected {texts}")
    for failure in failures:
        print(f"layout_check: {failure}")
    print(f"layout_check: {len(pictures)} pictures, {len(failures)} faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
