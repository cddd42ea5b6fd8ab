#!/usr/bin/python3
"""korvi-supervisor's field log drawn as a capture: one life's trace records picked out from
among its console lines and the other lives' records, and drawn exactly as the same records
in a capture's trace are (capture_timeline.py's capture, as life 2 of three).

    field_log_timeline.py TOOL WORK_DIR
"""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_timeline  # noqa: E402
import verdict  # noqa: E402

RADIO_OFF_LIFE = """\
{"t_sim_us":0,"event":"run","source":"capture","version":1}
{"t_sim_us":40000,"event":"radio_off"}
{"t_sim_us":40000,"event":"firmware_start","wlan_state":1}
{"t_sim_us":41000,"event":"firmware_end","wlan_state":1,"result":"0x00000000"}
{"t_sim_us":1050000,"event":"exit","code":0}
"""

# The last life: one notification and its request, then radio off.
LAST_LIFE = """\
{"t_sim_us":0,"event":"run","source":"capture","version":1}
{"t_sim_us":20000,"event":"notify"}
{"t_sim_us":21000,"event":"firmware_start","wlan_state":2}
{"t_sim_us":22000,"event":"firmware_end","wlan_state":2,"result":"0x00000000"}
{"t_sim_us":40000,"event":"radio_off"}
{"t_sim_us":40000,"event":"firmware_start","wlan_state":1}
{"t_sim_us":41000,"event":"firmware_end","wlan_state":1,"result":"0x00000000"}
{"t_sim_us":1050000,"event":"exit","code":0}
{"t_sim_us":1050000,"event":"figures","notifications":1,"wlan_requests":2,"stopped_before_firmware":0,\
"firmware_calls":2,"failed":0,"completed":2,"radio_off":1,"found_off":1,"read_failed":0,"exit_code":0,\
"reaction_measured":1,"reaction_median_us":2000,"reaction_max_us":2000,"unanswered":0}
"""


def life_lines(life, trace):
    lines = [json.dumps({"log": "start", "life": life, "wall": "2026-12-09T18:00:0%d.000Z" % life, "program": "k.exe"})]
    for record in trace.splitlines():
        lines.append(json.dumps({"log": "console", "life": life, "t_us": 5, "text": "Korvi::InitSAR()"}))
        lines.append('{"log":"trace","life":%d,"record":%s}' % (life, record))
    lines.append(json.dumps({"log": "end", "life": life, "exit_code": 0, "meaning": "off-or-no-modem",
                             "delay_ms": 1000 * life, "restarts": life < 3}))
    return lines


def main(tool, work):
    os.makedirs(work, exist_ok=True)
    log = os.path.join(work, "korvi-supervisor.log")
    lines = [json.dumps({"log": "note", "event": "started", "text": "supervisor 1 watching k.exe"})]
    lines += life_lines(1, RADIO_OFF_LIFE) + life_lines(2, capture_timeline.CAPTURE) + life_lines(3, LAST_LIFE)
    with open(log, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
    failures = []

    root, error = capture_timeline.render(tool, log, os.path.join(work, "life2.svg"), "--life", "2")
    if error:
        return [error]
    for attribute, wanted in capture_timeline.EXPECTED.items():
        if root.get(attribute) != wanted:
            failures.append(f"life 2: {attribute} is {root.get(attribute)!r}, expected {wanted!r}")

    root, error = capture_timeline.render(tool, log, os.path.join(work, "last.svg"))
    if error:
        return failures + [error]
    if root.get("data-firmware-calls") != "2" or root.get("data-notifications") != "1":
        failures.append("without --life the last life (two calls, one notification) is not the one drawn")

    run = subprocess.run([tool, log, "--life", "4"], capture_output=True, text=True, timeout=60)
    wanted = f"korvi-timeline: {log}: the field log holds no trace records of life 4 (it has lives 1 to 3)\n"
    if run.returncode != 2 or run.stderr != wanted:
        failures.append(f"a life the log lacks: exit {run.returncode}, {run.stderr!r}")
    return failures


if __name__ == "__main__":
    verdict.run_as_test("field_log_timeline", main)
