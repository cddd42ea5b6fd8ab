"""Drawing a timeline model (korvi_trace.Timeline) as one SVG document.

Plain SVG 1.1 written by hand: one lane per kind of evidence (modem transmission,
notifications, loop wake-ups, the loop's radio checks where the trace records them, firmware
calls, WLAN power; a capture of a real run has only the three it can know), exposure windows
marked across every lane, moments (monitoring started or stopped, the state read at start, the
radio, the radio check that found it off, a request given up on, the exit) as lines across the
lanes with their labels in rows above,
a header with what ran and the run's figures wrapped to the picture's width, a time axis and
a legend of what is drawn. Text is laid out with one generous width estimate (text_width), so
that no label covers another or leaves the picture; nothing is drawn right of the exit.
Elements carry a class that says what they show, and the root element carries the figures,
so a test can read the picture without looking at pixels.
"""

import math
import re
from xml.sax.saxutils import escape as _escape

WIDTH = 1200
MARGIN = 20  # the header's and the legend's left edge
LEFT = 190  # room for the lane labels
RIGHT = 30
LANE_HEIGHT = 34
LANE_GAP = 12
MIN_WIDTH = 2.0  # px: a window shorter than this is drawn this wide, or it would not show
CALL_GAP = 2.0  # px left clear between two firmware calls, so back-to-back calls show as two
# The labels above the lanes: radio changes, the exit and the other moments marked across
# the lanes, stacked in rows so that none covers another or a line.
LABEL_SIZE = 10
LABEL_ROW = 14  # px from one row of labels to the next
LABEL_GAP = 6  # px kept clear between two labels of a row, and between a label and a line
LABEL_OFFSET = 3  # px between a line and its label
LINE_CLEAR = 2  # px kept clear between a label and another mark's line
EDGE = 2  # px kept clear inside the picture's edges

# Widths of characters in em, generous for the common sans-serif fonts: the widest of them
# (DejaVu Sans, bold, as librsvg draws it) rounded up per group, so that an estimate is never
# narrower than the drawn text. Any other character counts as a full em.
_CHAR_EMS = {}
for _chars, _em in ((" ',.ijl|", 0.38), ("!()[]-:;/\\IJfrt", 0.5), ('"*_`?csz', 0.6),
                    ("0123456789abdeghknopquvxy{}$EFLPSTYZ", 0.73),
                    ("ABCDGHKNOQRUVX#&+<=>^~", 0.87), ("MWmw%@", 1.1)):
    _CHAR_EMS.update(dict.fromkeys(_chars, _em))

COLOURS = {
    "tx": "#1f5fa8",
    "notify-on": "#1f5fa8",
    "notify-off": "#7f9cc0",
    "notify-seen": "#1f5fa8",
    "failed": "#c00000",
    "wake": "#444444",
    # The firmware calls (what was asked) in hues of their own, so that they are never read as
    # the WLAN power (what the firmware was left at) in the lane below.
    "firmware-reduce": "#8e24aa",
    "firmware-normal": "#00838f",
    "firmware-other": "#888888",
    "wlan-normal": "#3a9a3a",
    "wlan-reduced": "#e08a00",
    "wlan-unknown": "#bdbdbd",
    "exposure": "#d62020",
    "radio": "#8c510a",
    "check-on": "#ffffff",  # a radio check that found the radio on: an open ring
    "check-ring": "#555555",
    "monitoring": "#6b6b00",
    "cancel": "#5e6b8c",
    "exit": "#000000",
}

SIMULATED_LANES = ["modem transmitting", "notifications", "loop wake-ups", "firmware calls", "WLAN power"]
# Where the trace records them, the loop's radio checks in a lane of their own, after its wake-ups.
CHECKS_LANE = "radio checks"
# A capture sees the service's console, not the modem's own edges nor the loop's wake-ups.
CAPTURE_LANES = ["notifications", "firmware calls", "WLAN power"]
LANES = SIMULATED_LANES


# Characters XML 1.0 cannot carry (control characters, lone surrogates from an undecodable
# file name); a title holding one would make the whole document unreadable.
_NOT_XML = re.compile("[^\t\n\r\u0020-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")


def escape(text):
    return _escape(_NOT_XML.sub("\ufffd", text))


def _ms(us):
    return f"{us / 1000:.3f}"


def _nice_step(span_ms, target_ticks=10):
    if span_ms <= 0:
        return 1.0
    raw = span_ms / target_ticks
    power = 10 ** math.floor(math.log10(raw))
    for factor in (1, 2, 5, 10):
        if raw <= factor * power:
            return factor * power
    return 10 * power


def _tick_label(ms, step):
    return f"{ms:.0f}" if step >= 1 else f"{ms:.{max(0, -math.floor(math.log10(step)))}f}"


class _Svg:
    def __init__(self):
        self.parts = []

    def add(self, text):
        self.parts.append(text)

    def rect(self, x, y, w, h, fill, cls, title=None, extra=""):
        body = f"<title>{escape(title)}</title>" if title else ""
        self.add(f'<rect class="{cls}" x="{x:.2f}" y="{y:.2f}" width="{w:.2f}" height="{h:.2f}" '
                 f'fill="{fill}"{extra}>{body}</rect>')

    def text(self, x, y, content, cls, anchor="start", size=12, extra=""):
        self.add(f'<text class="{cls}" x="{x:.2f}" y="{y:.2f}" font-size="{size}" '
                 f'text-anchor="{anchor}"{extra}>{escape(content)}</text>')


def text_width(text, size):
    """A generous estimate of the drawn width of text at a font size, in px (bold or not)."""
    return size * sum(_CHAR_EMS.get(c, 1.0) for c in text)


def text_box(x, y, text, size, anchor="start"):
    """(left, top, right, bottom) that text drawn at (x, y) covers, y being its baseline: the
    estimated width, a full em above the baseline and three tenths below it."""
    width = text_width(text, size)
    left = {"start": x, "middle": x - width / 2, "end": x - width}[anchor]
    return left, y - size, left + width, y + 0.3 * size


def wrap_words(text, size, width):
    """text in lines as wide as fit, broken at spaces (a word wider than a line, by characters)."""
    lines = []
    for word in text.split(" "):
        candidate = f"{lines[-1]} {word}" if lines else word
        if lines and text_width(candidate, size) <= width:
            lines[-1] = candidate
            continue
        while text_width(word, size) > width and len(word) > 1:
            cut = len(word) - 1
            while cut > 1 and text_width(word[:cut], size) > width:
                cut -= 1
            lines.append(word[:cut])
            word = word[cut:]
        lines.append(word)
    return lines


def wrap(parts, size, width):
    """Lines made of parts joined by "; ", each as wide as fits; a part is split (at spaces)
    only when it is wider than a line on its own."""
    lines = []
    for part in parts:
        if lines and text_width(lines[-1] + "; " + part, size) <= width:
            lines[-1] += "; " + part
        elif text_width(part, size) <= width:
            lines.append(part)
        else:
            lines.extend(wrap_words(part, size, width))
    return lines


def _figure_ms(us):
    return "-" if us is None else f"{_ms(us)} ms"


def provenance_parts(timeline):
    """What ran, as the trace's run record names it (a trace of version 2)."""
    parts = []
    if timeline.scenario is not None:
        where = ("the embedded default scenario" if timeline.scenario.get("embedded")
                 else f"scenario file {timeline.scenario['path']}")
        parts.append(f"{where}, SHA-256 {timeline.scenario['sha256']}")
    if timeline.build is not None:
        parts.append(f"build {timeline.build['version']}, commit {timeline.build['commit']}")
    return parts


def _timing(figures):
    median, longest = figures["reaction_median_us"], figures["reaction_max_us"]
    return f"{figures['reaction_measured']} measured, median {_figure_ms(median)}, max {_figure_ms(longest)}"


def _ending(timeline):
    if not timeline.exited:
        return "no exit record: the run did not end cleanly"
    ending = f"exit code {timeline.exit_code}"
    if timeline.transmitting and timeline.transmitting[-1].end_us == timeline.end_us:
        # The trace ends at the exit; the modem's transmission, and any exposure, do not.
        ending += " while the modem still transmits"
    return ending


# Where a picture has no figures to state, it says why rather than work them out itself.
NO_SUMMARY = "figures not stated: korvi-timeline --summary FILE states them from the run's standard error"
NO_FIGURES_RECORD = ("figures not stated: the trace has no figures record (an older capture, or one cut off before "
                     "its end)")


def header_parts(timeline):
    """The figures the header states, one clause each, after what ran: those the trace's
    writer gave (timeline.figures), in its own words, and none of the picture's own."""
    figures = timeline.figures
    ending = _ending(timeline)
    if timeline.is_capture:
        if figures is None:
            return provenance_parts(timeline) + [NO_FIGURES_RECORD, ending]
        # In korvi-capture's own words and order, so that its summary and the picture read alike.
        counts = (f"notifications {figures['notifications']}, WLAN requests {figures['wlan_requests']} "
                  f"({figures['stopped_before_firmware']} stopped before the firmware), firmware calls "
                  f"{figures['firmware_calls']} (failed {figures['failed']}, completed {figures['completed']}), "
                  f"radio off {figures['radio_off']} (found off {figures['found_off']}, "
                  f"read failed {figures['read_failed']})")
        head = [f"{counts}, {ending}"] if timeline.exited else [counts, ending]
        return provenance_parts(timeline) + head + [
            f"reaction (notification to the end of the request after it): {_timing(figures)}",
            f"notifications with no request after them {figures['unanswered']}",
            "a capture knows no modem edges nor wake-ups, so exposure is not known"]
    speed = f"speed {timeline.speed:g}"
    if figures is None:
        return provenance_parts(timeline) + [NO_SUMMARY, ending, speed]
    bursts = figures["bursts"]
    return provenance_parts(timeline) + [
        f"transmitting {_ms(figures['transmitting_us'])} ms in {bursts} {'burst' if bursts == 1 else 'bursts'}",
        f"exposure (transmitting while WLAN power normal) {_ms(figures['exposure_us'])} ms",
        f"reaction (transmission start to reduced WLAN power): {_timing(figures)}, "
        f"starts already reduced {figures['already_reduced']}, never reduced {figures['never_reduced']}",
        f"notifications {figures['notifications']}, wake-ups {figures['wakeups']}, "
        f"firmware calls {figures['firmware_calls']} (failed {figures['failed']})",
        ending, speed] + _incomplete(figures)


def _incomplete(figures):
    """The summary's word that the trace is not whole: the figures are the whole run's, and
    what is drawn from the trace may stop short of them."""
    if "trace_incomplete" not in figures:
        return []
    return [f"the run's summary says {figures['trace_incomplete']}: what is drawn may stop short of these figures"]


# The root element's figure attributes, each from the figures of the writer's (an empty value
# where it gave none): attribute, then the figure's name in a simulated run's and in a
# capture's figures.
_DATA_FIGURES = (
    ("data-exposure-us", "exposure_us", None),
    ("data-transmitting-us", "transmitting_us", None),
    ("data-reaction-measured", "reaction_measured", "reaction_measured"),
    ("data-reaction-median-us", "reaction_median_us", "reaction_median_us"),
    ("data-reaction-max-us", "reaction_max_us", "reaction_max_us"),
    ("data-already-reduced", "already_reduced", None),
    ("data-never-reduced", "never_reduced", "unanswered"),
    ("data-notifications", "notifications", "notifications"),
    ("data-wakeups", "wakeups", None),
    ("data-wlan-requests", None, "wlan_requests"),
    ("data-firmware-calls", "firmware_calls", "firmware_calls"),
)


def data_figures(timeline):
    """The root element's figure attributes as one text, data-figures saying where they came
    from ("trace", "summary", or "" for none)."""
    figures = timeline.figures or {}
    parts = [f'data-figures="{timeline.figures_from or ""}"']
    for attribute, simulated, capture in _DATA_FIGURES:
        value = figures.get(capture if timeline.is_capture else simulated)
        parts.append(f'{attribute}="{"" if value is None else value}"')
    return " ".join(parts)


def firmware_boxes(calls, x_of, right_limit):
    """(x, width) of each call's bar. A call that would start inside the previous bar, or
    touch it, is moved right by the few px that keep a gap: two calls at one instant, or one
    ending as the next begins, are drawn as two bars. No bar passes right_limit (the exit, or
    the end of the trace): what the gaps and the least width would push past it is moved left
    instead, as nothing of a call happened after the service ended. The tooltips keep the
    true times."""
    boxes = []
    previous_right = None
    for call in calls:
        x = x_of(call.start_us)
        right = x_of(call.end_us)
        if previous_right is not None:
            x = max(x, previous_right + CALL_GAP)
        width = max(right - x, MIN_WIDTH)
        boxes.append([x, width])
        previous_right = x + width
    limit = right_limit
    for box in reversed(boxes):
        if box[0] + box[1] <= limit:
            break  # this bar and every one before it end in time
        box[0] = limit - box[1]
        limit = box[0] - CALL_GAP
    return [tuple(box) for box in boxes]


def span_box(x, right, right_limit):
    """(x, width) of a window from x to right, at least MIN_WIDTH wide and never past right_limit."""
    width = max(right - x, MIN_WIDTH)
    return min(x, right_limit - width), width


def default_title(timeline, scenario):
    """The picture's title when none is given: the scenario's name, or what the run was."""
    if timeline.is_capture:
        return "Capture of a real run" + (f": {scenario}" if scenario else "")
    return f"Scenario {scenario}" if scenario else "Run of the simulated notebook"


# The moments marked by a line across every lane, with a label above the lanes: kind, colour,
# dash pattern (None: solid).
MARK_STYLES = {
    "monitoring": (COLOURS["monitoring"], "4,2"),
    "radio": (COLOURS["radio"], "5,3"),
    "found-off": (COLOURS["radio"], "1,3"),
    "state-at-start": (COLOURS["wake"], "1,3"),
    "cancel": (COLOURS["cancel"], "8,3,1,3"),
    "exit": (COLOURS["exit"], None),
}


def moments(timeline):
    """(at_us, kind, label, tooltip) of each moment marked across the lanes, in time order."""
    marks = []
    for mark in timeline.monitoring:
        marks.append((mark.at_us, "monitoring", f"monitoring {mark.label}",
                      "the modem took the service's StartTransmissionStateMonitoring: from here its changes "
                      "are delivered" if mark.label == "started" else
                      "the modem took the service's StopTransmissionStateMonitoring: no more changes are delivered"))
    state = timeline.state_at_start
    if state is not None:
        # What the service does with it: a state it could not read counts as transmitting.
        label = f"state at start: {state.label}" + ("" if state.ok else ", taken as transmitting")
        why = {"transmitting": "the modem transmits, so the loop is woken to reduce WLAN power",
               "not transmitting": "the modem does not transmit; the loop waits for a change",
               "no answer": "the modem never answered GetIsTransmittingAsync and the service gave up waiting"}
        marks.append((state.at_us, "state-at-start", label,
                      f"the state read at start: {why.get(state.label, 'the request ' + state.label)}"
                      + ("" if state.ok else "; the modem is taken as transmitting and the loop woken")))
    for check in timeline.radio_checks:
        if check.on is True:
            continue  # found on: only its mark in the lane
        found = "radio found off" if check.on is False else f"radio read failed {check.result}, taken as off"
        marks.append((check.at_us, "found-off", found,
                      f"the loop's radio check: {found}; it restores normal power and ends"))
    start = timeline.woken_by_state_at_start
    if start is not None:
        marks.append((start.at_us, "state-at-start", "state at start woke the loop",
                      "the first wake-up, with no notification before it: the state read at start "
                      "(transmitting, or not readable) woke the loop"))
    for mark in timeline.radio:
        if timeline.is_capture:  # the console's "GetRadioState()  Off": the service found it off
            found = mark.label.replace("radio off", "radio found off", 1)
            marks.append((mark.at_us, "radio", found, f"the service's radio check: {found}"))
        else:  # the modem's own side, which the service learns at its next radio check
            marks.append((mark.at_us, "radio", mark.label, f"the cellular side: {mark.label}"))
    for mark in timeline.restores_at_radio_off:
        marks.append((mark.at_us, "found-off", "radio found off",
                      "a firmware call with no wake-up before it: a radio check found the cellular "
                      "side off, and the loop restores normal power before it ends"))
    for mark in timeline.cancels:
        marks.append((mark.at_us, "cancel", f"gave up on {mark.label}",
                      f"the service gave up waiting for the modem's answer to {mark.label}"))
    if timeline.exited:
        marks.append((timeline.end_us, "exit", "exit", f"exit code {timeline.exit_code}"))
    return sorted(marks, key=lambda mark: mark[0])  # stable: one instant keeps the order above


def lay_out_labels(marks, width):
    """Where each label of marks ((x, text, left_first) in time order) goes: (row, left, rise).

    Rows count up from the one nearest the lanes. A label sits beside its line, right of it
    or left of it (tried first where left_first), inside the picture, clear of every other
    label of its row and of every line that rises through its row. A line rises from the lanes
    through the rows below its label's. So a label goes where it leaves the way clear for the
    lines still to come (it stands over none of their instants), in the lowest row where no
    label below stands in its own line's way (on its side, where left_first, before a lower
    row on the other); failing that, where its line's way is clear, in the highest row, above
    the labels still to come over whose instants it stands; failing that, in the lowest row it fits, its line stopping below the label in the way
    (rise: the rows the line passes)."""
    placed = []  # (row, left, right, x, rise)
    laid_out = []
    for index, (x, text, left_first) in enumerate(marks):
        w = text_width(text, LABEL_SIZE)
        sides = [x + LABEL_OFFSET, x - LABEL_OFFSET - w]
        sides = [left for left in (sides[::-1] if left_first else sides) if left >= EDGE and left + w <= width - EDGE]
        if not sides:  # wider than the room on either side: as near its line as fits
            sides = [max(EDGE, min(x + LABEL_OFFSET, width - EDGE - w))]
        later = [mark[0] for mark in marks[index + 1:]]
        top_row = max((p[0] for p in placed), default=-1) + 1
        best = {}  # preference (0 best) -> (row, left, right, rise)
        for row in range(top_row + 1):
            for side, left in enumerate(sides):
                right = left + w
                if any(r == row and left < pr + LABEL_GAP and right > pl - LABEL_GAP for r, pl, pr, _, _ in placed):
                    continue
                if any(row < rise and left - LINE_CLEAR < px < right + LINE_CLEAR for _, _, _, px, rise in placed):
                    continue
                blocking = [r for r, pl, pr, _, _ in placed if r < row and pl - LINE_CLEAR < x < pr + LINE_CLEAR]
                over_later = any(left - LINE_CLEAR < lx < right + LINE_CLEAR for lx in later)
                # A label that must stand left of its line goes up a row rather than right.
                preference = 3 if blocking else 2 if over_later else 1 if side and left_first else 0
                entry = (row, left, right, min(blocking) if blocking else row)
                if preference == 2:
                    # Over a later instant: the highest row, so that the later label can stand
                    # below this one and its line rise to it clear of this label.
                    best[2] = entry
                else:
                    best.setdefault(preference, entry)
            if 0 in best:
                break
        row, left, right, rise = best[min(best)]
        placed.append((row, left, right, x, rise))
        laid_out.append((row, left, rise))
    return laid_out


def render(timeline, title):
    """The SVG document for timeline, as text."""
    if timeline.is_capture and "capture of a real run" not in title.lower():
        title = f"{title} (capture of a real run)"
    lanes = CAPTURE_LANES if timeline.is_capture else SIMULATED_LANES
    if timeline.records_steps:
        lanes = lanes[:lanes.index("loop wake-ups") + 1] + [CHECKS_LANE] + lanes[lanes.index("loop wake-ups") + 1:]
    start_us = 0
    end_us = max(timeline.end_us, 1)
    plot_width = WIDTH - LEFT - RIGHT

    def x_of(us):
        return LEFT + (us - start_us) / (end_us - start_us) * plot_width

    # Nothing is drawn right of the exit (or of the trace's last record).
    right_limit = x_of(timeline.end_us)

    def bar(span):
        return span_box(x_of(span.start_us), x_of(span.end_us), right_limit)

    title_lines = wrap_words(title, 16, WIDTH - 2 * MARGIN)
    figure_lines = wrap(header_parts(timeline), 12, WIDTH - 2 * MARGIN)
    figures_y = 24 + 20 * len(title_lines)  # the first figure line's baseline
    marks = moments(timeline)
    # The exit's label stands left of its line, before the end rather than after it.
    labels = lay_out_labels([(x_of(at), text, kind == "exit") for at, kind, text, _ in marks], WIDTH)
    rows = max((row for row, _, _ in labels), default=0) + 1
    # The title, the figures, then the rows of labels.
    top = figures_y - 18 + 18 * len(figure_lines) + 16 + LABEL_ROW * rows

    def lane_top(name):
        return top + lanes.index(name) * (LANE_HEIGHT + LANE_GAP)

    def label_y(row):
        return top - 10 - row * LABEL_ROW

    lanes_bottom = top + len(lanes) * (LANE_HEIGHT + LANE_GAP) - LANE_GAP
    axis_y = lanes_bottom + 10
    legend_y = axis_y + 52

    legend = _legend_entries(timeline, marks)
    per_row = 4
    height = legend_y + 24 * ((len(legend) + per_row - 1) // per_row) + 10
    svg = _Svg()
    svg.add('<?xml version="1.0" encoding="UTF-8"?>')
    scenario = timeline.scenario_name
    svg.add(f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{WIDTH}" height="{height}" '
            f'viewBox="0 0 {WIDTH} {height}" font-family="sans-serif" data-source="{timeline.source}" '
            f'data-scenario="{"" if scenario is None else escape(scenario)}" '
            f'{data_figures(timeline)}>')
    svg.add(f"<title>{escape(title)}</title>")
    svg.rect(0, 0, WIDTH, height, "#ffffff", "background")
    for index, line in enumerate(title_lines):
        svg.text(MARGIN, 24 + 20 * index, line, "title", size=16, extra=' font-weight="bold"')
    for index, line in enumerate(figure_lines):
        svg.text(MARGIN, figures_y + 18 * index, line, "figures", size=12)

    # Lane backgrounds and labels.
    svg.add('<g id="lanes">')
    for name in lanes:
        y = lane_top(name)
        svg.rect(LEFT, y, plot_width, LANE_HEIGHT, "#f4f4f4", "lane")
        svg.text(LEFT - 10, y + LANE_HEIGHT / 2 + 4, name, "lane-label", anchor="end")
    svg.add("</g>")

    # Exposure windows first, behind everything, as red bands across every lane.
    svg.add('<g id="exposure">')
    for span in timeline.exposure:
        x, w = bar(span)
        svg.rect(x, top - 4, w, lanes_bottom - top + 8, COLOURS["exposure"], "exposure",
                 f"exposure {_ms(span.start_us)} to {_ms(span.end_us)} ms "
                 f"({_ms(span.end_us - span.start_us)} ms)", ' fill-opacity="0.35"')
    svg.add("</g>")

    if "modem transmitting" in lanes:
        y = lane_top("modem transmitting")
        svg.add('<g id="transmission">')
        for span in timeline.transmitting:
            x, w = bar(span)
            svg.rect(x, y + 6, w, LANE_HEIGHT - 12, COLOURS["tx"], "tx",
                     f"transmitting {_ms(span.start_us)} to {_ms(span.end_us)} ms")
        svg.add("</g>")

    y = lane_top("notifications")
    svg.add('<g id="notifications">')
    for mark in timeline.notifications:
        x = x_of(mark.at_us)
        stroke = f' stroke="{COLOURS["failed"]}" stroke-width="2"' if not mark.ok else ""
        if mark.label == "seen":  # a capture: the console line does not give the state
            middle = y + LANE_HEIGHT / 2
            points = f"{x:.2f},{y + 6:.2f} {x + 6:.2f},{middle:.2f} {x:.2f},{y + LANE_HEIGHT - 6:.2f} {x - 6:.2f},{middle:.2f}"
            what = "notification (state not recorded)"
        else:
            up = mark.label == "on"
            tip_y, base_y = (y + 6, y + LANE_HEIGHT - 6) if up else (y + LANE_HEIGHT - 6, y + 6)
            points = f"{x:.2f},{tip_y:.2f} {x - 6:.2f},{base_y:.2f} {x + 6:.2f},{base_y:.2f}"
            what = f"notification IsTransmitting {mark.label}"
        svg.add(f'<polygon class="notification notification-{mark.label}" points="{points}" '
                f'fill="{COLOURS["notify-" + mark.label]}"{stroke}><title>{what} at '
                f'{_ms(mark.at_us)} ms</title></polygon>')
    svg.add("</g>")

    if "loop wake-ups" in lanes:
        y = lane_top("loop wake-ups")
        svg.add('<g id="wakeups">')
        for mark in timeline.wakeups:
            x = x_of(mark.at_us)
            colour = COLOURS["wake"] if mark.ok else COLOURS["failed"]
            svg.add(f'<line class="wake" x1="{x:.2f}" y1="{y + 6:.2f}" x2="{x:.2f}" y2="{y + LANE_HEIGHT - 6:.2f}" '
                    f'stroke="{colour}" stroke-width="2"><title>wait returned {mark.label} at {_ms(mark.at_us)} ms'
                    f"</title></line>")
        svg.add("</g>")

    # A radio check: an open ring when it found the radio on, filled brown when off, red when a
    # read failed (which the loop takes as off).
    if CHECKS_LANE in lanes:
        middle = lane_top(CHECKS_LANE) + LANE_HEIGHT / 2
        svg.add('<g id="radio-checks">')
        for check in timeline.radio_checks:
            kind = _check_kind(check)
            what = CHECK_WORDS[kind] if check.on is not None else f"read failed {check.result}, taken as off"
            svg.add(_check_circle(f"radio-check radio-check-{kind}", x_of(check.at_us), middle, kind,
                                  f"<title>radio check at {_ms(check.at_us)} ms: {escape(what)}</title>"))
        svg.add("</g>")

    # A failed call keeps the colour of what it asked for in its upper half; its lower half is
    # red, so that even a bar of the least width shows both.
    y = lane_top("firmware calls")
    svg.add('<g id="firmware">')
    for call, (x, w) in zip(timeline.firmware, firmware_boxes(timeline.firmware, x_of, right_limit)):
        kind = {2: "reduce", 1: "normal"}.get(call.wlan_state, "other")
        state = "none" if call.wlan_state is None else call.wlan_state
        if call.result is None:
            result = "failed before ExecMethod"
        else:
            result = f"result {call.result or 'never returned'}"
        tooltip = f"ExecMethod WLAN state {state}, {_ms(call.start_us)} to {_ms(call.end_us)} ms, {result}"
        svg.rect(x, y + 6, w, LANE_HEIGHT - 12, COLOURS[f"firmware-{kind}"],
                 f"firmware firmware-{kind}" + ("" if call.ok else " failed"), tooltip)
        if not call.ok:
            svg.rect(x, y + LANE_HEIGHT / 2, w, LANE_HEIGHT / 2 - 6, COLOURS["failed"], "firmware-failed", tooltip)
    svg.add("</g>")

    # The WLAN power on two levels: normal fills the lane, reduced its lower half; unknown (a
    # capture before its first completed call) a thin grey band between.
    y = lane_top("WLAN power")
    svg.add('<g id="wlan">')
    levels = (("wlan-normal", timeline.wlan_normal, y + 4, LANE_HEIGHT - 8),
              ("wlan-reduced", timeline.wlan_reduced, y + LANE_HEIGHT / 2, LANE_HEIGHT / 2 - 4),
              ("wlan-unknown", timeline.wlan_unknown, y + LANE_HEIGHT / 2 - 3, 6))
    for cls, spans, level_top, level_height in levels:
        for span in spans:
            x = x_of(span.start_us)
            w = x_of(span.end_us) - x
            svg.rect(x, level_top, w, level_height, COLOURS[cls], cls,
                     f"WLAN power {cls[5:]} {_ms(span.start_us)} to {_ms(span.end_us)} ms")
    svg.add("</g>")

    # The marked moments, as lines across every lane that rise to their labels.
    svg.add('<g id="events">')
    for (at, kind, text, tooltip), (row, left, rise) in zip(marks, labels):
        x = x_of(at)
        colour, dash = MARK_STYLES[kind]
        if rise == row:  # beside its label
            line_top = label_y(row) - LABEL_SIZE * 0.4
        else:  # below the label in its way
            line_top = label_y(rise) + LABEL_SIZE * 0.3 + 2
        dashes = f' stroke-dasharray="{dash}"' if dash else ""
        svg.add(f'<line class="mark {kind}" x1="{x:.2f}" y1="{line_top:.2f}" x2="{x:.2f}" y2="{lanes_bottom + 4:.2f}" '
                f'stroke="{colour}" stroke-width="1.5"{dashes}>'
                f"<title>{escape(tooltip)} at {_ms(at)} ms</title></line>")
        svg.text(left, label_y(row), text, f"mark-label {kind}-label", size=LABEL_SIZE,
                 extra=f' fill="{colour}"')
    svg.add("</g>")

    # The time axis.
    svg.add('<g id="axis">')
    svg.add(f'<line class="axis" x1="{LEFT}" y1="{axis_y}" x2="{LEFT + plot_width}" y2="{axis_y}" '
            f'stroke="#000000" stroke-width="1"/>')
    span_ms = (end_us - start_us) / 1000
    step = _nice_step(span_ms)
    tick = 0.0
    while tick <= span_ms + 1e-9:
        x = x_of(start_us + tick * 1000)
        svg.add(f'<line class="tick" x1="{x:.2f}" y1="{axis_y}" x2="{x:.2f}" y2="{axis_y + 5}" stroke="#000000"/>')
        svg.text(x, axis_y + 18, _tick_label(tick, step), "tick-label", anchor="middle", size=11)
        tick += step
    axis_label = ("time since the service started (ms, monotonic clock)" if timeline.is_capture
                  else "simulated time (ms)")
    svg.text(LEFT + plot_width / 2, axis_y + 36, axis_label, "axis-label", anchor="middle")
    svg.add("</g>")

    svg.add('<g id="legend">')
    column = (WIDTH - 2 * MARGIN) / per_row
    for index, (shape, colour, label) in enumerate(legend):
        x = MARGIN + (index % per_row) * column
        y = legend_y + (index // per_row) * 24
        _legend_swatch(svg, shape, colour, x, y)
        svg.text(x + 24, y, label, "legend-label", size=11)
    svg.add("</g>")
    svg.add("</svg>")
    return "\n".join(svg.parts) + "\n"


# How a radio check is drawn, by what it found: fill, and the outline's attributes.
CHECK_LOOKS = {
    "on": (COLOURS["check-on"], f' stroke="{COLOURS["check-ring"]}" stroke-width="1.5"'),
    "off": (COLOURS["radio"], ""),
    "failed": (COLOURS["failed"], ""),
}
CHECK_WORDS = {"on": "found on", "off": "found off", "failed": "read failed, taken as off"}


def _check_kind(check):
    return "on" if check.on is True else "off" if check.on is False else "failed"


def _check_circle(cls, x, y, kind, body=""):
    fill, outline = CHECK_LOOKS[kind]
    return f'<circle class="{cls}" cx="{x:.2f}" cy="{y:.2f}" r="5" fill="{fill}"{outline}>{body}</circle>'


def _legend_entries(timeline, marks):
    """What the picture draws, one entry each: the usual things always, the rarer ones (a
    failure, a cancelled request, a moment read from the records' order) where drawn."""
    kinds = {kind for _, kind, _, _ in marks}
    entries = []
    if not timeline.is_capture:
        entries += [("rect", COLOURS["tx"], "modem transmitting"),
                    ("up", COLOURS["notify-on"], "notification: transmitting"),
                    ("down", COLOURS["notify-off"], "notification: not transmitting")]
        if any(not mark.ok for mark in timeline.notifications):
            entries += [("up-failed", COLOURS["notify-on"], "handler answered a failure")]
        entries += [("line", COLOURS["wake"], "loop wake-up")]
        if any(not mark.ok for mark in timeline.wakeups):
            entries += [("line", COLOURS["failed"], "wait failed or abandoned")]
    else:
        entries += [("diamond", COLOURS["notify-seen"], "notification (state not recorded)")]
    entries += [("rect", COLOURS["firmware-reduce"], "firmware call: reduce"),
                ("rect", COLOURS["firmware-normal"], "firmware call: normal")]
    if any(call.wlan_state not in (1, 2) for call in timeline.firmware):
        entries += [("rect", COLOURS["firmware-other"], "firmware call: no WLAN state")]
    if any(not call.ok for call in timeline.firmware):
        entries += [("failed", COLOURS["failed"], "failed call (lower half red)")]
    entries += [("high", COLOURS["wlan-normal"], "WLAN power normal (full lane)"),
                ("low", COLOURS["wlan-reduced"], "WLAN power reduced (lower half)")]
    if timeline.is_capture:
        entries += [("mid", COLOURS["wlan-unknown"], "WLAN power not known yet"),
                    ("mark-radio", COLOURS["radio"], "radio found off (console)")]
    else:
        entries += [("exposure", COLOURS["exposure"], f"exposure (at least {MIN_WIDTH:g} px wide)"),
                    ("mark-radio", COLOURS["radio"], "radio went off / on (modem)")]
        if timeline.records_steps:
            drawn = {_check_kind(check) for check in timeline.radio_checks}
            entries += [(f"check-{kind}", CHECK_LOOKS[kind][0], f"radio check: {CHECK_WORDS[kind]}")
                        for kind in CHECK_LOOKS if kind in drawn]
            if "monitoring" in kinds:
                said = " / ".join(dict.fromkeys(mark.label for mark in timeline.monitoring))
                entries += [("mark-monitoring", COLOURS["monitoring"], f"monitoring {said}")]
            if "state-at-start" in kinds:
                entries += [("mark-state-at-start", COLOURS["wake"], "state read at start")]
            if "found-off" in kinds:
                what = "found off" if False in (check.on for check in timeline.radio_checks) else "failed"
                entries += [("mark-found-off", COLOURS["radio"], f"radio check {what}: restore, end")]
        else:  # read from the order of the records
            if "found-off" in kinds:
                entries += [("mark-found-off", COLOURS["radio"], "radio found off: restore")]
            if "state-at-start" in kinds:
                entries += [("mark-state-at-start", COLOURS["wake"], "state at start woke the loop")]
    if "cancel" in kinds:
        entries += [("mark-cancel", COLOURS["cancel"], "gave up waiting for the modem")]
    entries += [("mark-exit", COLOURS["exit"], "exit")]
    return entries


def _legend_swatch(svg, shape, colour, x, y):
    if shape in ("high", "low", "mid"):
        # A small WLAN lane, so that the two levels read as they do in the picture.
        svg.rect(x, y - 14, 18, 16, "#f4f4f4", "legend-swatch")
        top, height = {"high": (y - 13, 14), "low": (y - 6, 7), "mid": (y - 8, 4)}[shape]
        svg.rect(x, top, 18, height, colour, f"legend-swatch legend-wlan-{shape}")
    elif shape == "rect":
        svg.rect(x, y - 10, 18, 12, colour, "legend-swatch")
    elif shape == "failed":  # as a failed call is drawn: what it asked for above, red below
        svg.rect(x, y - 10, 18, 6, "#ffffff", "legend-swatch", extra=' stroke="#888888" stroke-width="0.5"')
        svg.rect(x, y - 4, 18, 6, colour, "legend-swatch legend-failed")
    elif shape == "exposure":
        svg.rect(x, y - 10, 18, 12, colour, "legend-swatch", extra=' fill-opacity="0.35"')
    elif shape in ("up", "down", "up-failed"):
        tip, base = (y + 1, y - 11) if shape == "down" else (y - 11, y + 1)
        stroke = f' stroke="{COLOURS["failed"]}" stroke-width="2"' if shape == "up-failed" else ""
        svg.add(f'<polygon class="legend-swatch" points="{x + 9},{tip} {x + 3},{base} {x + 15},{base}" '
                f'fill="{colour}"{stroke}/>')
    elif shape.startswith("check-"):  # as a radio check is drawn
        svg.add(_check_circle("legend-swatch", x + 9, y - 5, shape[len("check-"):]))
    elif shape == "diamond":
        svg.add(f'<polygon class="legend-swatch" points="{x + 9},{y - 11} {x + 15},{y - 5} {x + 9},{y + 1} '
                f'{x + 3},{y - 5}" fill="{colour}"/>')
    else:  # a line: a wake-up, or a marked moment in its own dash pattern
        dash = MARK_STYLES[shape[5:]][1] if shape.startswith("mark-") else None
        dashes = f' stroke-dasharray="{dash}"' if dash else ""
        svg.add(f'<line class="legend-swatch" x1="{x + 9}" y1="{y - 12}" x2="{x + 9}" y2="{y + 2}" '
                f'stroke="{colour}" stroke-width="2"{dashes}/>')
