#!/usr/bin/env python3
"""korvi-supervisor.exe under Wine, one case at a time. Every verdict reads what the
supervisor decided and logged (its lives, exit codes, meanings, delays, console lines, its
own exit code), never how long a run took: each run is bounded by --lives.

  check_supervisor.py CASE WINE_RUN KORVI_SUPERVISOR.exe PROGRAM.exe WORK_DIR [SCENARIOS_DIR]

PROGRAM.exe is the probe (tests/wine/supervisor/probe.cpp) or, for the bed_* cases, the test
bed's korvi-sar.exe driven by KORVI_SIM_SCENARIO.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Failure(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Failure(what)


def is_run_record(record):
    """The supervisor's run record, naming its build: what opens every file of the log."""
    build = record.get("build")
    return (record.get("log") == "run" and record.get("source") == "supervisor" and record.get("version") == 2
            and isinstance(build, dict) and build.get("version") == "1.0.0"
            and re.fullmatch(r"[0-9a-f]{12}(-dirty)?|unknown", str(build.get("commit"))) is not None
            and set(record) == {"log", "source", "version", "build"})


def read_log(folder):
    """Every record of the log, oldest file first, each line checked to be JSON and each file
    checked to open with the supervisor's run record (the run records are left out)."""
    files = sorted(Path(folder).glob("korvi-supervisor*.log"),
                   key=lambda p: -int(p.name.split(".")[1]) if p.name.count(".") == 2 else 0)
    records = []
    for file in files:
        for number, line in enumerate(file.read_bytes().split(b"\n"), 1):
            if not line:
                continue
            try:
                record = json.loads(line)
            except ValueError as error:
                raise Failure(f"{file}:{number}: not JSON ({error}): {line[:80]!r}")
            if number == 1:
                expect(is_run_record(record), f"{file}: the first line is not the supervisor's run record: {line[:120]!r}")
            if not is_run_record(record):
                records.append(record)
    return records


class Case:
    def __init__(self, wine_run, supervisor, program, work, scenarios):
        self.wine_run, self.supervisor, self.program = wine_run, supervisor, program
        self.work, self.scenarios = Path(work), scenarios

    def folder(self, name):
        path = self.work / name
        shutil.rmtree(path, ignore_errors=True)
        path.mkdir(parents=True)
        return path

    def command(self, log_dir, *arguments, program=True):
        line = [self.wine_run, self.supervisor, "--log-dir", windows_path(log_dir), *arguments]
        return line + ([self.program] if program else [])

    def run(self, log_dir, *arguments, env=None, program_arguments=()):
        full = self.command(log_dir, *arguments) + list(program_arguments)
        done = subprocess.run(full, capture_output=True, env=env, timeout=300)
        return done.returncode, done.stderr.decode(errors="replace")

    def scenario_env(self, name):
        env = dict(os.environ)
        env["KORVI_SIM_SCENARIO"] = windows_path(Path(self.scenarios) / f"{name}.json")
        env.pop("KORVI_DEBUG_LOG", None)
        return env


def lives_of(records):
    ends = [r for r in records if r["log"] == "end"]
    starts = [r for r in records if r["log"] == "start"]
    return starts, ends


def console_of(records, life):
    return [r["text"] for r in records if r["log"] == "console" and r["life"] == life]


def check_lives(records, count, code, meaning, delays):
    starts, ends = lives_of(records)
    expect([s["life"] for s in starts] == list(range(1, count + 1)), f"lives started: {[s['life'] for s in starts]}")
    expect([e["life"] for e in ends] == list(range(1, count + 1)), f"lives ended: {[e['life'] for e in ends]}")
    expect(all(e["exit_code"] == code for e in ends), f"exit codes: {[e['exit_code'] for e in ends]}")
    expect(all(e["meaning"] == meaning for e in ends), f"meanings: {[e['meaning'] for e in ends]}")
    expect([e["delay_ms"] for e in ends] == delays, f"delays chosen: {[e['delay_ms'] for e in ends]}")
    expect([e["restarts"] for e in ends] == [True] * (count - 1) + [False], "only the last life is not restarted")
    # Each life's records lie between its start and its end.
    order = [(r["log"], r.get("life")) for r in records if r["log"] in ("start", "end", "console", "trace")]
    for life in range(1, count + 1):
        at = [i for i, (_, n) in enumerate(order) if n == life]
        expect(order[at[0]] == ("start", life) and order[at[-1]] == ("end", life), f"life {life} out of order")


def case_lives(c):
    log = c.folder("lives")
    code, _ = c.run(log, "--lives", "3", program_arguments=["lines", "2", "0"])
    expect(code == 0, f"the supervisor ended with {code}")
    records = read_log(log)
    check_lives(records, 3, 0, "off-or-no-modem", [1000, 2000, 4000])
    for life in (1, 2, 3):
        lines = console_of(records, life)
        expect(lines == ["probe line 1", "probe line 2", "probe on stderr"], f"life {life}'s console: {lines}")


def case_another_instance(c):
    log = c.folder("another_instance")
    code, _ = c.run(log, "--lives", "1", program_arguments=["lines", "1", "3"])
    expect(code == 0, f"the supervisor ended with {code}")
    check_lives(read_log(log), 1, 3, "another-instance", [30000])


def case_flood(c):
    log = c.folder("flood")
    # The probe stays until the log has rotated once, so that the rotation meets a live child:
    # a child that inherited the log's handle would keep the file from moving (and the probe,
    # and with it this test, would wait until its time-out).
    code, _ = c.run(log, "--lives", "1",
                    program_arguments=["flood", str(12 * 1024 * 1024), windows_path(log / "korvi-supervisor.1.log")])
    expect(code == 0, f"the supervisor ended with {code}")
    records = read_log(log)
    # The flood has rotated the life's start out of the log; its end is the newest record but
    # the supervisor's own. 0: every one of the probe's writes was taken whole, none blocked.
    ends = [r for r in records if r["log"] == "end"]
    expect(len(ends) == 1 and ends[0]["exit_code"] == 0 and ends[0]["delay_ms"] == 1000, f"the life's end: {ends}")
    expect(records[-2] is ends[0] and records[-1]["log"] == "note", "the end is the newest record of the life")
    dropped = sum(r["bytes"] for r in records if r["log"] == "dropped")
    print(f"flood: {dropped} bytes dropped by the queue")
    files = list(log.glob("korvi-supervisor*.log"))
    sizes = {f.name: f.stat().st_size for f in files}
    expect(len(files) <= 4 and all(size <= 1024 * 1024 for size in sizes.values()), f"the log's files: {sizes}")
    expect(sum(sizes.values()) > 3 * 1024 * 1024, f"the flood filled the log: {sizes}")


def case_second_supervisor(c):
    first_log, second_log = c.folder("first_supervisor"), c.folder("second_supervisor")
    flag = c.work / "release_the_holder"
    flag.unlink(missing_ok=True)
    first = subprocess.Popen(c.command(first_log, "--lives", "1") + ["hold", windows_path(flag)],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # Waits for an event (the first's life has begun and said so), not for a time.
        deadline = time.monotonic() + 120
        while "holding" not in console_of(read_log(first_log), 1):
            expect(first.poll() is None, f"the first supervisor ended early with {first.returncode}")
            expect(time.monotonic() < deadline, "the first supervisor's life never began")
            time.sleep(0.05)
        code, _ = c.run(second_log, "--lives", "1", program_arguments=["lines", "1", "0"])
        expect(code == 3, f"the second supervisor ended with {code}, not 3")
        records = read_log(second_log)
        expect([r["event"] for r in records if r["log"] == "note"] == ["another-supervisor"],
               f"the second supervisor's log: {records}")
        expect(not lives_of(records)[0], "the second supervisor started a life")
    finally:
        flag.touch()
        first.wait(timeout=120)
    expect(first.returncode == 0, f"the first supervisor ended with {first.returncode}")
    check_lives(read_log(first_log), 1, 0, "off-or-no-modem", [1000])


def case_bad_option(c):
    log = c.folder("bad_option")
    code, stderr = c.run(log, "--lives", "0", program_arguments=[])
    expect(code == 2, f"the supervisor ended with {code}, not 2")
    said = "korvi-supervisor: --lives needs a whole number from 1 to 1000000, got \"0\""
    expect(said in stderr, f"stderr: {stderr!r}")
    notes = [r for r in read_log(log) if r["log"] == "note"]
    expect(len(notes) == 1 and notes[0]["event"] == "bad-option" and notes[0]["text"].startswith(said[18:]),
           f"the log: {notes}")


def case_default_program(c):
    # No program named: korvi-sar.exe beside the supervisor (here the probe under that name,
    # which given no arguments says how to use it and ends with 2).
    folder = c.folder("default_program")
    shutil.copy(c.supervisor, folder / "korvi-supervisor.exe")
    shutil.copy(c.program, folder / "korvi-sar.exe")
    log = folder / "log"
    done = subprocess.run([c.wine_run, str(folder / "korvi-supervisor.exe"), "--log-dir", windows_path(log),
                           "--lives", "1"], capture_output=True, timeout=300)
    expect(done.returncode == 0, f"the supervisor ended with {done.returncode}")
    records = read_log(log)
    check_lives(records, 1, 2, "bad-input", [1000])
    expect(lives_of(records)[0][0]["program"].endswith("\\default_program\\korvi-sar.exe"),
           f"the program started: {lives_of(records)[0][0]['program']}")
    expect(any(line.startswith("supervisor-probe: usage:") for line in console_of(records, 1)), "its console")


def case_bed_radio_off(c):
    log = c.folder("bed_radio_off")
    code, _ = c.run(log, "--lives", "3", env=c.scenario_env("radio_off_at_start"))
    expect(code == 0, f"the supervisor ended with {code}")
    records = read_log(log)
    check_lives(records, 3, 0, "off-or-no-modem", [1000, 2000, 4000])
    for life in (1, 2, 3):
        lines = console_of(records, life)
        # The service's last message ends without a line break, and the bed's summary, on the
        # same pipe as standard error, goes on in that line.
        expect(any(l.startswith("Exit while loop") for l in lines) and any("GetRadioState()  Off" in l for l in lines),
               f"life {life}'s console: {lines}")
        events = [r["record"]["event"] for r in records if r["log"] == "trace" and r["life"] == life]
        expect(events[0] == "run" and "radio_off" in events and events[-2:] == ["exit", "figures"],
               f"life {life}'s trace: {events}")


def case_bed_another_instance(c):
    log = c.folder("bed_another_instance")
    # One life: the slow schedule is the delay the supervisor chose and logged; waiting it out
    # would only cost a real 30 s (the policy's repetition is unit-tested).
    code, _ = c.run(log, "--lives", "1", env=c.scenario_env("another_instance"))
    expect(code == 0, f"the supervisor ended with {code}")
    records = read_log(log)
    check_lives(records, 1, 3, "another-instance", [30000])
    expect(any("another instance already watches" in l for l in console_of(records, 1)), "life 1's console")


def main():
    if len(sys.argv) not in (6, 7):
        print(__doc__.strip().splitlines()[-4], file=sys.stderr)
        return 2
    name = sys.argv[1]
    case = Case(*sys.argv[2:6], sys.argv[6] if len(sys.argv) == 7 else None)
    check = globals().get("case_" + name)
    if check is None:
        print(f"check_supervisor.py: no case named {name!r}", file=sys.stderr)
        return 2
    case.work.mkdir(parents=True, exist_ok=True)
    try:
        check(case)
    except Failure as failure:
        print(f"{name}: {failure}", file=sys.stderr)
        return 1
    print(f"{name}: as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
