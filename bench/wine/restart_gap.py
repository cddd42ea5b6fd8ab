#!/usr/bin/python3
"""The restart gap in a field log of korvi-supervisor: from each life's end (its exit seen) to
the next life's first console line (the new service running), in real time, beside the delay
the policy chose. A figure for docs/deploying.md, not a verdict.

    restart_gap.py FIELD_LOG [FIELD_LOG...]   (the log's files, oldest first)

Run it over a log of 20 lives, for example under Wine with the bed's service on a radio-off
scenario:

    KORVI_SIM_SCENARIO='Z:\\...\\scenarios\\radio_off_at_start.json' tests/wine/wine-run \\
        build/mingw/korvi-supervisor.exe --log-dir 'Z:\\tmp\\gap' --lives 20 build/mingw/tests/wine/bed/korvi-sar.exe
"""

import json
import statistics
import sys
from datetime import datetime


def wall_ms(text):
    return datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ").timestamp() * 1000


def main(paths):
    records = [json.loads(line) for path in paths for line in open(path, encoding="utf-8") if line.strip()]
    ends = {r["life"]: r for r in records if r["log"] == "end"}
    starts = {r["life"]: r for r in records if r["log"] == "start"}
    first_line = {}
    for r in records:
        if r["log"] == "console":
            first_line.setdefault(r["life"], r["t_us"])
    gaps, overheads = [], []
    for life, end in sorted(ends.items()):
        nxt = life + 1
        if nxt not in starts or nxt not in first_line:
            continue
        gap = wall_ms(starts[nxt]["wall"]) + first_line[nxt] / 1000 - wall_ms(end["wall"])
        gaps.append(gap)
        overheads.append(gap - end["delay_ms"])
        print(f"after life {life:2}: delay chosen {end['delay_ms']:6} ms, gap {gap:9.1f} ms, "
              f"beyond the delay {gap - end['delay_ms']:7.1f} ms")
    if not gaps:
        print("restart_gap.py: no life followed by another", file=sys.stderr)
        return 1
    print(f"{len(gaps)} restarts: gap median {statistics.median(gaps):.1f} ms, max {max(gaps):.1f} ms; "
          f"beyond the delay median {statistics.median(overheads):.1f} ms, max {max(overheads):.1f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]) if len(sys.argv) > 1 else 2)
