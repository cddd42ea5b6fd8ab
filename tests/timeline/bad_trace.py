#!/usr/bin/python3
"""Bad traces given to korvi-timeline: exit code 2, one line on stderr naming the file and
the line (or the file alone when it has no lines), no picture, and never a traceback.

    bad_trace.py TOOL WORK_DIR
"""

import os
import subprocess
import sys

RUN = '{"t_sim_us":0,"t_wall_us":0,"event":"run","speed":5,"version":1}'
TX = '{"t_sim_us":10,"t_wall_us":2,"event":"tx","transmitting":true,"scenario_ms":0}'
EXIT = '{"t_sim_us":20,"t_wall_us":4,"event":"exit","code":0}'
CAPTURE_RUN = '{"t_sim_us":0,"event":"run","source":"capture","version":1}'
CAPTURE_EVENTS = "run, notify, firmware_start, firmware_end, radio_off, exit, figures"
CAPTURE_EXIT = '{"t_sim_us":20,"event":"exit","code":0}'


def figures(**changed):
    """A capture's figures record as korvi-capture writes it, with the members changed."""
    members = {"notifications": 0, "wlan_requests": 0, "stopped_before_firmware": 0, "firmware_calls": 0, "failed": 0,
               "completed": 0, "radio_off": 0, "found_off": 0, "read_failed": 0, "exit_code": 0,
               "reaction_measured": 0, "reaction_median_us": "null", "reaction_max_us": "null", "unanswered": 0}
    members.update(changed)
    return '{"t_sim_us":20,"event":"figures"' + "".join(f',"{key}":{value}' for key, value in members.items()) + "}"

BUILD_EXPECTED = '{"version": TEXT, "commit": 12 hex digits, "-dirty" after them, or "unknown"}, got {'
SCENARIO_EXPECTED = ('{"path": TEXT, "sha256": 64 lowercase hex digits} or {"embedded": true, "sha256": ...}, '
                     'got {')


def run_v2(build='{"version":"1.0.0","commit":"0123456789ab"}', scenario='{"path":"a.json","sha256":"' + "0" * 64 + '"}'):
    """A run record of version 2 with the members given (None: left out), as a trace's one line."""
    members = "".join(f',"{key}":{value}' for key, value in (("build", build), ("scenario", scenario)) if value)
    return ('{"t_sim_us":0,"t_wall_us":0,"event":"run","speed":5,"version":2' + members + "}\n").encode()

# name, file content (bytes), the stderr line expected after "korvi-timeline: <file>"
CASES = [
    ("empty", b"", ": empty trace (no records)"),
    ("not_json", (RUN + "\n{\"t_sim_us\":1,\n").encode(), ":2: not valid JSON: Expecting property name enclosed in double quotes"),
    ("not_an_object", (RUN + "\n[1,2]\n").encode(), ":2: expected a JSON object"),
    ("no_stamp", (RUN + '\n{"t_wall_us":1,"event":"wake","result":"0x00000000"}\n').encode(), ":2: t_sim_us: missing"),
    ("negative_stamp", (RUN + '\n{"t_sim_us":-5,"t_wall_us":1,"event":"radio_on"}\n').encode(),
     ":2: t_sim_us: expected a non-negative integer, got -5"),
    ("huge_stamp", (RUN + '\n{"t_sim_us":' + "9" * 30 + ',"t_wall_us":1,"event":"radio_on"}\n').encode(),
     ":2: t_sim_us: expected a non-negative integer, got " + "9" * 30),
    ("bool_stamp", (RUN + '\n{"t_sim_us":true,"t_wall_us":1,"event":"radio_on"}\n').encode(),
     ":2: t_sim_us: expected a non-negative integer, got true"),
    ("unknown_event", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"party"}\n').encode(),
     ':2: event: unknown event "party"; expected one of run, tx, notify, wake, firmware_start, firmware_end, '
     "radio_off, radio_on, cancel, monitoring, state_at_start, radio_check, exit"),
    ("wrong_type", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"tx","transmitting":"yes","scenario_ms":0}\n').encode(),
     ':2: transmitting: expected true or false, got "yes"'),
    ("missing_field", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"firmware_end","wlan_state":2}\n').encode(),
     ":2: result: missing for a firmware_end record"),
    ("bad_code", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"wake","result":"0x0"}\n').encode(),
     ':2: result: expected a result code "0x" and 8 hex digits, got "0x0"'),
    ("unknown_key", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"radio_on","why":1}\n').encode(),
     ":2: why: unknown key for a radio_on record"),
    ("back_in_time", (RUN + "\n" + TX + '\n{"t_sim_us":9,"t_wall_us":3,"event":"radio_on"}\n').encode(),
     ":3: t_sim_us goes back in time (9 after 10)"),
    ("run_not_first", (TX + "\n" + RUN + "\n").encode(), ":1: expected the run record first, got tx"),
    ("after_exit", (RUN + "\n" + EXIT + "\n" + TX.replace(":10,", ":30,") + "\n").encode(),
     ":3: a tx record after the exit record of line 2"),
    ("blank_line", (RUN + "\n\n" + EXIT + "\n").encode(), ":2: empty line"),
    ("not_utf8", (RUN + "\n").encode() + b'{"t_sim_us":5,"event":"\xff"}\n', ":2: not valid UTF-8"),
    ("deeply_nested", (RUN + "\n" + "[" * 200000 + "]" * 200000 + "\n").encode(), ":2: not valid JSON: too deeply nested"),
    # A read's record gives what it found or why it found nothing, never both nor neither.
    ("state_and_failure", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"state_at_start","transmitting":true,'
                           '"result":"0x80010108"}\n').encode(),
     ":2: transmitting: a state_at_start record gives a value with result 0x00000000 and null with a failure, "
     "got true with 0x80010108"),
    ("check_without_answer", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"radio_check","on":null,'
                              '"result":"0x00000000"}\n').encode(),
     ":2: on: a radio_check record gives a value with result 0x00000000 and null with a failure, "
     "got null with 0x00000000"),
    ("check_answer_word", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"radio_check","on":"off",'
                           '"result":"0x00000000"}\n').encode(),
     ':2: on: expected true, false or null (the read failed), got "off"'),
    ("capture_radio_check", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"radio_check","on":true,'
                             '"result":"0x00000000"}\n').encode(),
     f":2: event: a capture of a real run has no radio_check records; expected one of {CAPTURE_EVENTS}"),
    # Only a capture's request that failed before ExecMethod ends without a result code.
    ("null_result_simulated", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":"firmware_end","wlan_state":2,'
                               '"result":null}\n').encode(),
     ':2: result: expected a result code "0x" and 8 hex digits, got null'),
    # A capture holds only what a console can tell; anything more is a misread, not a picture.
    ("capture_with_tx", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"tx","transmitting":true,"scenario_ms":0}\n').encode(),
     f":2: event: a capture of a real run has no tx records; expected one of {CAPTURE_EVENTS}"),
    ("capture_with_wake", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"wake","result":"0x00000000"}\n').encode(),
     f":2: event: a capture of a real run has no wake records; expected one of {CAPTURE_EVENTS}"),
    ("capture_notify_state", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"notify","transmitting":true}\n').encode(),
     ":2: transmitting: unknown key for a notify record of a capture"),
    ("capture_speed", b'{"t_sim_us":0,"event":"run","source":"capture","version":1,"speed":5}\n',
     ":1: speed: unknown key for a run record of a capture"),
    ("capture_other_source", b'{"t_sim_us":0,"event":"run","source":"sim","version":1}\n',
     ':1: source: expected "capture", got "sim"'),
    ("capture_bad_result", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"firmware_end","wlan_state":2,'
                            '"result":"failed"}\n').encode(),
     ':2: result: expected a result code "0x" and 8 hex digits, or null, got "failed"'),
    # A capture cannot know why the radio was off, only that its read failed.
    ("capture_bad_cause", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"radio_off","cause":"status"}\n').encode(),
     ':2: cause: expected "read_failed", got "status"'),
    ("capture_back_in_time", (CAPTURE_RUN + "\n" + '{"t_sim_us":10,"event":"notify"}\n'
                              '{"t_sim_us":9,"event":"notify"}\n').encode(),
     ":3: t_sim_us goes back in time (9 after 10)"),
    ("capture_no_stamp", (CAPTURE_RUN + "\n" + '{"event":"notify"}\n').encode(), ":2: t_sim_us: missing"),
    # A capture ends with its figures record, after its exit; nothing comes after it, and it holds
    # only what the capture's summary states.
    ("capture_after_figures", "\n".join((CAPTURE_RUN, CAPTURE_EXIT, figures(), CAPTURE_EXIT, "")).encode(),
     ":4: an exit record after the figures record of line 3, which ends a capture"),
    ("capture_two_figures", "\n".join((CAPTURE_RUN, figures(exit_code="null"), figures(exit_code="null"), "")).encode(),
     ":3: a figures record after the figures record of line 2, which ends a capture"),
    ("capture_negative_figure", "\n".join((CAPTURE_RUN, figures(failed=-1), "")).encode(),
     ":2: failed: expected a non-negative integer, got -1"),
    ("capture_figure_missing", "\n".join((CAPTURE_RUN, figures().replace(',"unanswered":0', ""), "")).encode(),
     ":2: unanswered: missing for a figures record"),
    ("capture_median_unmeasured", "\n".join((CAPTURE_RUN, figures(reaction_median_us=5), "")).encode(),
     ":2: reaction_median_us: a figures record gives it when a reaction was measured and null when none was, "
     "got 5 with 0 measured"),
    ("capture_max_unmeasured", "\n".join((CAPTURE_RUN, figures(reaction_measured=2, reaction_median_us=5), "")).encode(),
     ":2: reaction_max_us: a figures record gives it when a reaction was measured and null when none was, got null "
     "with 2 measured"),
    ("capture_figures_other_code", "\n".join((CAPTURE_RUN, CAPTURE_EXIT, figures(exit_code=3), "")).encode(),
     ":3: exit_code: 3, the exit record of line 2 has code 0"),
    ("capture_figures_code_without_exit", "\n".join((CAPTURE_RUN, figures(), "")).encode(),
     ":2: exit_code: 0 in a capture with no exit record (null where the service's end was not seen)"),
    ("capture_figures_after_the_end", "\n".join((CAPTURE_RUN, CAPTURE_EXIT, figures().replace(':20,', ':900,', 1),
                                                  "")).encode(),
     ":3: t_sim_us: the figures record is stamped 900, the exit record of line 2 20: a capture writes both at the "
     "service's end"),
    ("event_not_a_name", (RUN + '\n{"t_sim_us":5,"t_wall_us":1,"event":[1]}\n').encode(),
     ":2: event: expected the name of an event, got [1]"),
    ("simulated_figures", (RUN + "\n" + figures().replace('"event"', '"t_wall_us":1,"event"') + "\n").encode(),
     ':2: event: unknown event "figures"; expected one of run, tx, notify, wake, firmware_start, firmware_end, '
     "radio_off, radio_on, cancel, monitoring, state_at_start, radio_check, exit"),
    # A run record of version 2 names what ran, exactly as its writer does; one of version 1 never.
    ("v2_no_build", run_v2(build=None), ":1: build: missing for a run record of version 2"),
    ("v2_no_scenario", run_v2(scenario=None), ":1: scenario: missing for a run record of version 2"),
    ("v2_short_commit", run_v2(build='{"version":"1.0.0","commit":"abc"}'), ':1: build: expected ' + BUILD_EXPECTED),
    ("v2_empty_version", run_v2(build='{"version":"","commit":"unknown"}'), ':1: build: expected ' + BUILD_EXPECTED),
    ("v2_build_extra", run_v2(build='{"version":"1.0.0","commit":"unknown","host":"x"}'),
     ':1: build: expected ' + BUILD_EXPECTED),
    ("v2_short_sha", run_v2(scenario='{"path":"a.json","sha256":"abc"}'), ':1: scenario: expected ' + SCENARIO_EXPECTED),
    ("v2_upper_sha", run_v2(scenario='{"path":"a.json","sha256":"' + "A" * 64 + '"}'),
     ':1: scenario: expected ' + SCENARIO_EXPECTED),
    ("v2_path_and_embedded", run_v2(scenario='{"path":"a.json","embedded":true,"sha256":"' + "0" * 64 + '"}'),
     ':1: scenario: expected ' + SCENARIO_EXPECTED),
    ("v2_embedded_false", run_v2(scenario='{"embedded":false,"sha256":"' + "0" * 64 + '"}'),
     ':1: scenario: expected ' + SCENARIO_EXPECTED),
    ("v1_with_build", RUN[:-1].encode() + b',"build":{"version":"1.0.0","commit":"unknown"}}\n',
     ":1: build: a run record of version 1 has none (version 2 names what ran)"),
    ("version_3", RUN.replace('"version":1', '"version":3').encode() + b"\n", ":1: version: expected 1 or 2, got 3"),
    ("capture_v2_no_build", b'{"t_sim_us":0,"event":"run","source":"capture","version":2}\n',
     ":1: build: missing for a run record of version 2"),
    ("capture_v2_scenario", b'{"t_sim_us":0,"event":"run","source":"capture","version":2,'
                            b'"build":{"version":"1.0.0","commit":"0123456789ab-dirty"},'
                            b'"scenario":{"embedded":true,"sha256":"' + b"0" * 64 + b'"}}\n',
     ":1: scenario: unknown key for a run record of a capture"),
]


def main(tool, work):
    os.makedirs(work, exist_ok=True)
    failures = []
    for name, content, expected in CASES + [("missing_file", None, ": cannot read the file: No such file or directory")]:
        path = os.path.join(work, name + ".trace")
        picture = os.path.join(work, name + ".svg")
        for stale in (path, picture):
            if os.path.exists(stale):
                os.remove(stale)
        if content is not None:
            with open(path, "wb") as out:
                out.write(content)
        run = subprocess.run([tool, path, "-o", picture], capture_output=True, timeout=60)
        stderr = run.stderr.decode("utf-8", "replace")
        wanted = f"korvi-timeline: {path}{expected}\n"
        # An expectation ending in "got {" names the start of the value, which the line cuts.
        matches = stderr.startswith(wanted[:-1]) and stderr.count("\n") == 1 if expected.endswith("got {") \
            else stderr == wanted
        if run.returncode != 2 or not matches or os.path.exists(picture):
            failures.append(f"{name}: exit {run.returncode}, picture written: {os.path.exists(picture)}, "
                            f"stderr {stderr!r}, expected {wanted!r}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
