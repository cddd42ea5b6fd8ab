"""Drawing a timeline model (korvi_trace.Timeline) as one SVG document.

Plain SVG 1.1 written by hand: one lane per kind of evidence (modem transmission,
notifications, loop wake-ups, firmware calls, WLAN power), exposure windows marked across
every lane, a time axis in simulated milliseconds and a legend. Elements carry a class that
says what they show, and the root element carries the figures, so a test can read the
picture without looking at pixels.
"""

import math
import re
from xml.sax.saxutils import escape as _escape

WIDTH = 1200
LEFT = 190  # room for the lane labels
RIGHT = 30
TOP = 74
LANE_HEIGHT = 34
LANE_GAP = 12
MIN_WIDTH = 2.0  # px: a window shorter than this is drawn this wide, or it would not show

COLOURS = {
    "tx": "#1f5fa8",
    "notify-on": "#1f5fa8",
    "notify-off": "#7f9cc0",
    "failed": "#c00000",
    "wake": "#444444",
    "firmware-reduce": "#e08a00",
    "firmware-normal": "#3a9a3a",
    "firmware-other": "#888888",
    "wlan-normal": "#3a9a3a",
    "wlan-reduced": "#e08a00",
    "exposure": "#d62020",
    "radio": "#6a3d9a",
    "exit": "#000000",
}

LANES = ["modem transmitting", "notifications", "loop wake-ups", "firmware calls", "WLAN power"]


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


def render(timeline, title):
    """The SVG document for timeline, as text."""
    start_us = 0
    end_us = max(timeline.end_us, 1)
    plot_width = WIDTH - LEFT - RIGHT

    def x_of(us):
        return LEFT + (us - start_us) / (end_us - start_us) * plot_width

    def span_box(span):
        x = x_of(span.start_us)
        return x, max(x_of(span.end_us) - x, MIN_WIDTH)

    def lane_top(index):
        return TOP + index * (LANE_HEIGHT + LANE_GAP)

    lanes_bottom = lane_top(len(LANES)) - LANE_GAP
    axis_y = lanes_bottom + 10
    legend_y = axis_y + 52
    height = legend_y + 70

    exposure_us = timeline.total_us(timeline.exposure)
    transmitting_us = timeline.total_us(timeline.transmitting)
    svg = _Svg()
    svg.add('<?xml version="1.0" encoding="UTF-8"?>')
    svg.add(f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{WIDTH}" height="{height}" '
            f'viewBox="0 0 {WIDTH} {height}" font-family="sans-serif" '
            f'data-exposure-us="{exposure_us}" data-transmitting-us="{transmitting_us}" '
            f'data-notifications="{len(timeline.notifications)}" data-wakeups="{len(timeline.wakeups)}" '
            f'data-firmware-calls="{len(timeline.firmware)}">')
    svg.add(f"<title>{escape(title)}</title>")
    svg.rect(0, 0, WIDTH, height, "#ffffff", "background")
    svg.text(LEFT, 24, title, "title", size=16, extra=' font-weight="bold"')
    ending = (f"exit code {timeline.exit_code}" if timeline.exited
              else "no exit record: the run did not end cleanly")
    if timeline.transmitting and timeline.transmitting[-1].end_us == timeline.end_us and timeline.exited:
        # The trace ends at the exit; the modem's transmission, and any exposure, do not.
        ending += " while the modem still transmits"
    svg.text(LEFT, 44,
             f"transmitting {_ms(transmitting_us)} ms, exposure {_ms(exposure_us)} ms "
             f"(transmitting while WLAN power normal), notifications {len(timeline.notifications)}, "
             f"wake-ups {len(timeline.wakeups)}, firmware calls {len(timeline.firmware)}; {ending}; "
             f"speed {timeline.speed:g}", "figures", size=12)

    # Lane backgrounds and labels.
    svg.add('<g id="lanes">')
    for index, name in enumerate(LANES):
        y = lane_top(index)
        svg.rect(LEFT, y, plot_width, LANE_HEIGHT, "#f4f4f4", "lane")
        svg.text(LEFT - 10, y + LANE_HEIGHT / 2 + 4, name, "lane-label", anchor="end")
    svg.add("</g>")

    # Exposure windows first, behind everything, across every lane.
    svg.add('<g id="exposure">')
    for span in timeline.exposure:
        x, w = span_box(span)
        svg.rect(x, TOP - 4, w, lanes_bottom - TOP + 8, COLOURS["exposure"], "exposure",
                 f"exposure {_ms(span.start_us)} to {_ms(span.end_us)} ms "
                 f"({_ms(span.end_us - span.start_us)} ms)", ' fill-opacity="0.28"')
    svg.add("</g>")

    y = lane_top(0)
    svg.add('<g id="transmission">')
    for span in timeline.transmitting:
        x, w = span_box(span)
        svg.rect(x, y + 6, w, LANE_HEIGHT - 12, COLOURS["tx"], "tx",
                 f"transmitting {_ms(span.start_us)} to {_ms(span.end_us)} ms")
    svg.add("</g>")

    y = lane_top(1)
    svg.add('<g id="notifications">')
    for mark in timeline.notifications:
        x = x_of(mark.at_us)
        up = mark.label == "on"
        tip_y, base_y = (y + 6, y + LANE_HEIGHT - 6) if up else (y + LANE_HEIGHT - 6, y + 6)
        fill = COLOURS["notify-on" if up else "notify-off"]
        stroke = f' stroke="{COLOURS["failed"]}" stroke-width="2"' if not mark.ok else ""
        svg.add(f'<polygon class="notification notification-{mark.label}" '
                f'points="{x:.2f},{tip_y:.2f} {x - 6:.2f},{base_y:.2f} {x + 6:.2f},{base_y:.2f}" '
                f'fill="{fill}"{stroke}><title>notification IsTransmitting {mark.label} at '
                f'{_ms(mark.at_us)} ms</title></polygon>')
    svg.add("</g>")

    y = lane_top(2)
    svg.add('<g id="wakeups">')
    for mark in timeline.wakeups:
        x = x_of(mark.at_us)
        colour = COLOURS["wake"] if mark.ok else COLOURS["failed"]
        svg.add(f'<line class="wake" x1="{x:.2f}" y1="{y + 6:.2f}" x2="{x:.2f}" y2="{y + LANE_HEIGHT - 6:.2f}" '
                f'stroke="{colour}" stroke-width="2"><title>wait returned {mark.label} at {_ms(mark.at_us)} ms'
                f"</title></line>")
    svg.add("</g>")

    y = lane_top(3)
    svg.add('<g id="firmware">')
    for call in timeline.firmware:
        kind = {2: "reduce", 1: "normal"}.get(call.wlan_state, "other")
        x, w = span_box(call)
        stroke = f' stroke="{COLOURS["failed"]}" stroke-width="2"' if not call.ok else ""
        state = "none" if call.wlan_state is None else call.wlan_state
        result = call.result or "never returned"
        svg.rect(x, y + 6, w, LANE_HEIGHT - 12, COLOURS[f"firmware-{kind}"],
                 f"firmware firmware-{kind}" + ("" if call.ok else " failed"),
                 f"ExecMethod WLAN state {state}, {_ms(call.start_us)} to {_ms(call.end_us)} ms, result {result}",
                 stroke)
    svg.add("</g>")

    y = lane_top(4)
    svg.add('<g id="wlan">')
    for cls, spans, top in (("wlan-normal", timeline.wlan_normal, y + 4),
                            ("wlan-reduced", timeline.wlan_reduced, y + LANE_HEIGHT / 2)):
        for span in spans:
            x = x_of(span.start_us)
            w = x_of(span.end_us) - x
            svg.rect(x, top, w, LANE_HEIGHT / 2 - 4 if cls == "wlan-reduced" else LANE_HEIGHT - 8,
                     COLOURS[cls], cls,
                     f"WLAN power {cls[5:]} {_ms(span.start_us)} to {_ms(span.end_us)} ms")
    svg.add("</g>")

    # Radio changes and the exit, as lines across every lane.
    svg.add('<g id="events">')
    for mark in timeline.radio:
        x = x_of(mark.at_us)
        svg.add(f'<line class="radio" x1="{x:.2f}" y1="{TOP - 8:.2f}" x2="{x:.2f}" y2="{lanes_bottom + 4:.2f}" '
                f'stroke="{COLOURS["radio"]}" stroke-width="1.5" stroke-dasharray="5,3">'
                f"<title>{escape(mark.label)} at {_ms(mark.at_us)} ms</title></line>")
        svg.text(x + 3, TOP - 10, mark.label, "radio-label", size=10, extra=f' fill="{COLOURS["radio"]}"')
    if timeline.exited:
        x = x_of(timeline.end_us)
        svg.add(f'<line class="exit" x1="{x:.2f}" y1="{TOP - 8:.2f}" x2="{x:.2f}" y2="{lanes_bottom + 4:.2f}" '
                f'stroke="{COLOURS["exit"]}" stroke-width="1.5"><title>exit at {_ms(timeline.end_us)} ms'
                f"</title></line>")
        svg.text(x - 3, TOP - 10, "exit", "exit-label", anchor="end", size=10)
    svg.add("</g>")

    # The time axis, in simulated milliseconds.
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
    svg.text(LEFT + plot_width / 2, axis_y + 36, "simulated time (ms)", "axis-label", anchor="middle")
    svg.add("</g>")

    # The legend.
    entries = [
        ("rect", COLOURS["tx"], "modem transmitting"),
        ("up", COLOURS["notify-on"], "notification: transmitting"),
        ("down", COLOURS["notify-off"], "notification: not transmitting"),
        ("line", COLOURS["wake"], "loop wake-up"),
        ("rect", COLOURS["firmware-reduce"], "firmware call: reduce"),
        ("rect", COLOURS["firmware-normal"], "firmware call: normal"),
        ("outline", COLOURS["failed"], "failed (red outline)"),
        ("high", COLOURS["wlan-normal"], "WLAN power normal"),
        ("low", COLOURS["wlan-reduced"], "WLAN power reduced"),
        ("exposure", COLOURS["exposure"], f"exposure (at least {MIN_WIDTH:g} px wide)"),
        ("dash", COLOURS["radio"], "radio off / on"),
        ("line", COLOURS["exit"], "exit"),
    ]
    svg.add('<g id="legend">')
    per_row = 4
    column = (WIDTH - LEFT - RIGHT) / per_row
    for index, (shape, colour, label) in enumerate(entries):
        x = LEFT + (index % per_row) * column
        y = legend_y + (index // per_row) * 24
        if shape in ("rect", "high", "low"):
            svg.rect(x, y - 10, 18, 12, colour, "legend-swatch")
        elif shape == "exposure":
            svg.rect(x, y - 10, 18, 12, colour, "legend-swatch", extra=' fill-opacity="0.28"')
        elif shape == "outline":
            svg.rect(x, y - 10, 18, 12, "#ffffff", "legend-swatch", extra=f' stroke="{colour}" stroke-width="2"')
        elif shape in ("up", "down"):
            tip, base = (y - 11, y + 1) if shape == "up" else (y + 1, y - 11)
            svg.add(f'<polygon class="legend-swatch" points="{x + 9},{tip} {x + 3},{base} {x + 15},{base}" '
                    f'fill="{colour}"/>')
        else:
            dash = ' stroke-dasharray="5,3"' if shape == "dash" else ""
            svg.add(f'<line class="legend-swatch" x1="{x + 9}" y1="{y - 12}" x2="{x + 9}" y2="{y + 2}" '
                    f'stroke="{colour}" stroke-width="2"{dash}/>')
        svg.text(x + 24, y, label, "legend-label", size=11)
    svg.add("</g>")
    svg.add("</svg>")
    return "\n".join(svg.parts) + "\n"
