"""Drawing a timeline model (korvi_trace.Timeline) as one SVG document.

Plain SVG 1.1 written by hand: one lane per kind of evidence (modem transmission,
notifications, loop wake-ups, firmware calls, WLAN power; a capture of a real run has only
the three it can know), exposure windows marked across every lane, a header with the run's
figures wrapped to the picture's width, a time axis and a legend. Elements carry a class that
says what they show, and the root element carries the figures, so a test can read the
picture without looking at pixels.
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
# A generous width per character of the sans-serif header (bold digits and capitals run
# widest); a header line is broken at "; " before it would pass the right edge.
CHAR_WIDTH = 0.62

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
    "exit": "#000000",
}

SIMULATED_LANES = ["modem transmitting", "notifications", "loop wake-ups", "firmware calls", "WLAN power"]
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
    """A generous estimate of the drawn width of text at a font size, in px."""
    return len(text) * size * CHAR_WIDTH


def wrap(parts, size, width):
    """Lines made of parts joined by "; ", each as wide as fits (a part is never split)."""
    lines = []
    for part in parts:
        if lines and text_width(lines[-1] + "; " + part, size) <= width:
            lines[-1] += "; " + part
        else:
            lines.append(part)
    return lines


def _figure_ms(us):
    return "-" if us is None else f"{_ms(us)} ms"


def header_parts(timeline):
    """The figures the header states, one clause each."""
    reaction = timeline.reaction
    n = len(reaction.latencies_us)
    timing = f"{n} measured, median {_figure_ms(reaction.median_us())}, max {_figure_ms(reaction.max_us())}"
    calls = (f"notifications {len(timeline.notifications)}, wake-ups {len(timeline.wakeups)}, "
             f"firmware calls {len(timeline.firmware)} (failed {timeline.failed_calls})")
    if timeline.exited:
        ending = f"exit code {timeline.exit_code}"
        if timeline.transmitting and timeline.transmitting[-1].end_us == timeline.end_us:
            # The trace ends at the exit; the modem's transmission, and any exposure, do not.
            ending += " while the modem still transmits"
    else:
        ending = "no exit record: the run did not end cleanly"
    if timeline.is_capture:
        # In korvi-capture's own words and order, so that its summary and the picture read alike.
        counts = (f"notifications {len(timeline.notifications)}, firmware requests {len(timeline.firmware)} "
                  f"(failed {timeline.failed_calls}), radio off {len(timeline.radio)} "
                  f"(found off {len(timeline.radio) - timeline.radio_read_failures}, "
                  f"read failed {timeline.radio_read_failures})")
        head = [f"{counts}, {ending}"] if timeline.exited else [counts, ending]
        return head + [f"reaction (notification to the end of the request after it): {timing}",
                       f"notifications with no request after them {reaction.never_reduced}",
                       "a capture knows no modem edges nor wake-ups, so exposure is not known"]
    transmitting_us = timeline.total_us(timeline.transmitting)
    return [f"transmitting {_ms(transmitting_us)} ms in {len(timeline.transmitting)} "
            f"{'burst' if len(timeline.transmitting) == 1 else 'bursts'}",
            f"exposure (transmitting while WLAN power normal) {_ms(timeline.total_us(timeline.exposure))} ms",
            f"reaction (transmission start to reduced WLAN power): {timing}, "
            f"starts already reduced {reaction.already_reduced}, never reduced {reaction.never_reduced}",
            calls, ending, f"speed {timeline.speed:g}"]


def firmware_boxes(calls, x_of):
    """(x, width) of each call's bar. A call that would start inside the previous bar, or
    touch it, is moved right by the few px that keep a gap: two calls at one instant, or one
    ending as the next begins, are drawn as two bars. The tooltips keep the true times."""
    boxes = []
    previous_right = None
    for call in calls:
        x = x_of(call.start_us)
        right = x_of(call.end_us)
        if previous_right is not None:
            x = max(x, previous_right + CALL_GAP)
        width = max(right - x, MIN_WIDTH)
        boxes.append((x, width))
        previous_right = x + width
    return boxes


def default_title(timeline, scenario):
    """The picture's title when none is given: the scenario's name, or what the run was."""
    if timeline.is_capture:
        return "Capture of a real run" + (f": {scenario}" if scenario else "")
    return f"Scenario {scenario}" if scenario else "Run of the simulated notebook"


def render(timeline, title):
    """The SVG document for timeline, as text."""
    if timeline.is_capture and "capture of a real run" not in title.lower():
        title = f"{title} (capture of a real run)"
    lanes = CAPTURE_LANES if timeline.is_capture else SIMULATED_LANES
    start_us = 0
    end_us = max(timeline.end_us, 1)
    plot_width = WIDTH - LEFT - RIGHT

    def x_of(us):
        return LEFT + (us - start_us) / (end_us - start_us) * plot_width

    def span_box(span):
        x = x_of(span.start_us)
        return x, max(x_of(span.end_us) - x, MIN_WIDTH)

    figure_lines = wrap(header_parts(timeline), 12, WIDTH - 2 * MARGIN)
    top = 24 + 18 * len(figure_lines) + 30  # the title, the figures, room for the radio labels

    def lane_top(name):
        return top + lanes.index(name) * (LANE_HEIGHT + LANE_GAP)

    lanes_bottom = top + len(lanes) * (LANE_HEIGHT + LANE_GAP) - LANE_GAP
    axis_y = lanes_bottom + 10
    legend_y = axis_y + 52

    reaction = timeline.reaction
    exposure_us = timeline.total_us(timeline.exposure)
    transmitting_us = timeline.total_us(timeline.transmitting)
    median, longest = reaction.median_us(), reaction.max_us()
    legend = _legend_entries(timeline)
    per_row = 4
    height = legend_y + 24 * ((len(legend) + per_row - 1) // per_row) + 10
    svg = _Svg()
    svg.add('<?xml version="1.0" encoding="UTF-8"?>')
    svg.add(f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{WIDTH}" height="{height}" '
            f'viewBox="0 0 {WIDTH} {height}" font-family="sans-serif" data-source="{timeline.source}" '
            f'data-exposure-us="{"" if timeline.is_capture else exposure_us}" '
            f'data-transmitting-us="{"" if timeline.is_capture else transmitting_us}" '
            f'data-reaction-measured="{len(reaction.latencies_us)}" '
            f'data-reaction-median-us="{"" if median is None else median}" '
            f'data-reaction-max-us="{"" if longest is None else longest}" '
            f'data-already-reduced="{reaction.already_reduced}" data-never-reduced="{reaction.never_reduced}" '
            f'data-notifications="{len(timeline.notifications)}" data-wakeups="{len(timeline.wakeups)}" '
            f'data-firmware-calls="{len(timeline.firmware)}">')
    svg.add(f"<title>{escape(title)}</title>")
    svg.rect(0, 0, WIDTH, height, "#ffffff", "background")
    svg.text(MARGIN, 24, title, "title", size=16, extra=' font-weight="bold"')
    for index, line in enumerate(figure_lines):
        svg.text(MARGIN, 44 + 18 * index, line, "figures", size=12)

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
        x, w = span_box(span)
        svg.rect(x, top - 4, w, lanes_bottom - top + 8, COLOURS["exposure"], "exposure",
                 f"exposure {_ms(span.start_us)} to {_ms(span.end_us)} ms "
                 f"({_ms(span.end_us - span.start_us)} ms)", ' fill-opacity="0.35"')
    svg.add("</g>")

    if "modem transmitting" in lanes:
        y = lane_top("modem transmitting")
        svg.add('<g id="transmission">')
        for span in timeline.transmitting:
            x, w = span_box(span)
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

    y = lane_top("firmware calls")
    svg.add('<g id="firmware">')
    for call, (x, w) in zip(timeline.firmware, firmware_boxes(timeline.firmware, x_of)):
        kind = {2: "reduce", 1: "normal"}.get(call.wlan_state, "other")
        stroke = f' stroke="{COLOURS["failed"]}" stroke-width="2"' if not call.ok else ""
        state = "none" if call.wlan_state is None else call.wlan_state
        if call.result is None:
            result = "failed before ExecMethod"
        else:
            result = f"result {call.result or 'never returned'}"
        svg.rect(x, y + 6, w, LANE_HEIGHT - 12, COLOURS[f"firmware-{kind}"],
                 f"firmware firmware-{kind}" + ("" if call.ok else " failed"),
                 f"ExecMethod WLAN state {state}, {_ms(call.start_us)} to {_ms(call.end_us)} ms, {result}",
                 stroke)
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

    # Radio changes and the exit, as lines across every lane.
    svg.add('<g id="events">')
    for mark in timeline.radio:
        x = x_of(mark.at_us)
        svg.add(f'<line class="radio" x1="{x:.2f}" y1="{top - 8:.2f}" x2="{x:.2f}" y2="{lanes_bottom + 4:.2f}" '
                f'stroke="{COLOURS["radio"]}" stroke-width="1.5" stroke-dasharray="5,3">'
                f"<title>{escape(mark.label)} at {_ms(mark.at_us)} ms</title></line>")
        svg.text(x + 3, top - 10, mark.label, "radio-label", size=10, extra=f' fill="{COLOURS["radio"]}"')
    if timeline.exited:
        x = x_of(timeline.end_us)
        svg.add(f'<line class="exit" x1="{x:.2f}" y1="{top - 8:.2f}" x2="{x:.2f}" y2="{lanes_bottom + 4:.2f}" '
                f'stroke="{COLOURS["exit"]}" stroke-width="1.5"><title>exit at {_ms(timeline.end_us)} ms'
                f"</title></line>")
        svg.text(x - 3, top - 10, "exit", "exit-label", anchor="end", size=10)
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


def _legend_entries(timeline):
    entries = []
    if not timeline.is_capture:
        entries += [("rect", COLOURS["tx"], "modem transmitting"),
                    ("up", COLOURS["notify-on"], "notification: transmitting"),
                    ("down", COLOURS["notify-off"], "notification: not transmitting"),
                    ("line", COLOURS["wake"], "loop wake-up")]
    else:
        entries += [("diamond", COLOURS["notify-seen"], "notification (state not recorded)")]
    entries += [("rect", COLOURS["firmware-reduce"], "firmware call: reduce"),
                ("rect", COLOURS["firmware-normal"], "firmware call: normal"),
                ("outline", COLOURS["failed"], "failed (red outline)"),
                ("high", COLOURS["wlan-normal"], "WLAN power normal (full lane)"),
                ("low", COLOURS["wlan-reduced"], "WLAN power reduced (lower half)")]
    if timeline.is_capture:
        entries += [("mid", COLOURS["wlan-unknown"], "WLAN power not known yet")]
    else:
        entries += [("exposure", COLOURS["exposure"], f"exposure (at least {MIN_WIDTH:g} px wide)")]
    entries += [("dash", COLOURS["radio"], "radio off / on"),
                ("line", COLOURS["exit"], "exit")]
    return entries


def _legend_swatch(svg, shape, colour, x, y):
    if shape in ("high", "low", "mid"):
        # A small WLAN lane, so that the two levels read as they do in the picture.
        svg.rect(x, y - 14, 18, 16, "#f4f4f4", "legend-swatch")
        top, height = {"high": (y - 13, 14), "low": (y - 6, 7), "mid": (y - 8, 4)}[shape]
        svg.rect(x, top, 18, height, colour, f"legend-swatch legend-wlan-{shape}")
    elif shape == "rect":
        svg.rect(x, y - 10, 18, 12, colour, "legend-swatch")
    elif shape == "exposure":
        svg.rect(x, y - 10, 18, 12, colour, "legend-swatch", extra=' fill-opacity="0.35"')
    elif shape == "outline":
        svg.rect(x, y - 10, 18, 12, "#ffffff", "legend-swatch", extra=f' stroke="{colour}" stroke-width="2"')
    elif shape in ("up", "down"):
        tip, base = (y - 11, y + 1) if shape == "up" else (y + 1, y - 11)
        svg.add(f'<polygon class="legend-swatch" points="{x + 9},{tip} {x + 3},{base} {x + 15},{base}" '
                f'fill="{colour}"/>')
    elif shape == "diamond":
        svg.add(f'<polygon class="legend-swatch" points="{x + 9},{y - 11} {x + 15},{y - 5} {x + 9},{y + 1} '
                f'{x + 3},{y - 5}" fill="{colour}"/>')
    else:
        dash = ' stroke-dasharray="5,3"' if shape == "dash" else ""
        svg.add(f'<line class="legend-swatch" x1="{x + 9}" y1="{y - 12}" x2="{x + 9}" y2="{y + 2}" '
                f'stroke="{colour}" stroke-width="2"{dash}/>')
