#!/usr/bin/python3
"""The random scenario generator's own properties, which the differential runs rely on.

    generator_test.py KORVI_SAR

- One seed gives one scenario, byte for byte, in this process and in another with a
  different hash seed (so a repeated --seed repeats the run).
- Over a few thousand seeds every fault op the simulator knows is drawn, at its first and its
  last call position and at every call; every key of the scenario files is drawn, each
  modem answer on both sides of the 30 s bound and never, quiet stretches on both sides of
  the five-second hysteresis and of the 60 s wait bound, changes close enough to collapse.
  The simulator's own lists of ops and keys are read from its sources, so an op or key added
  there and not here fails this test.
- Every scenario it writes is one the simulator accepts, and its run ends by itself with a
  code a run may end with (0, 1, 3, 4); over the sample every one of those ends is met.
"""

import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import scenario_generator as gen  # noqa: E402

REACH_SEEDS = range(4000)
RUN_SEEDS = range(10_000, 10_150)


def simulator_ops():
    with open(os.path.join(ROOT, "src/platform/sim/scenario/fault_table.cpp"), encoding="utf-8") as stream:
        table = re.search(r"kKnownOps\[\] = \{(.*?)\};", stream.read(), re.DOTALL).group(1)
    return set(re.findall(r'"(\w+)"', table))


def simulator_keys():
    """Per place in a scenario file, the keys scenario.cpp reads there."""
    with open(os.path.join(ROOT, "src/platform/sim/scenario/scenario.cpp"), encoding="utf-8") as stream:
        source = stream.read()
    places = {"ReadModem": "modem", "ReadFirmware": "firmware", "ReadFault": "faults[]",
              "ReadTimelineItem": "timeline[]", "ReadScenario": "(top level)"}
    keys = {}
    for function, place in places.items():
        body = source[source.index(f" {function}(const Json&"):]
        listed = re.search(r"ObjectReader object\([^{]*\{([^}]*)\}", body).group(1)
        keys[place] = set(re.findall(r'"(\w+)"', listed))
    return keys


def keys_of(scenario):
    seen = {"(top level)": set(scenario)}
    for place in ("modem", "firmware"):
        if isinstance(scenario.get(place), dict):
            seen[place] = set(scenario[place])
    for place in ("faults", "timeline"):
        seen[place + "[]"] = set().union(*(set(item) for item in scenario.get(place, [])))
    return seen


def check_reach():
    failures = []
    ops = simulator_ops()
    if set(gen.OPS) != ops:
        failures.append(f"the generator's ops differ from the simulator's: only the simulator's "
                        f"{sorted(ops - set(gen.OPS))}, only the generator's {sorted(set(gen.OPS) - ops)}")
    positions = {op: set() for op in gen.OPS}
    results = set()
    keys = {place: set() for place in simulator_keys()}
    answers = {key: set() for key in gen.ANSWER_KEYS}
    gaps = set()
    collapsing = 0
    endings = set()
    for seed in REACH_SEEDS:
        scenario = gen.generate(seed)
        for place, found in keys_of(scenario).items():
            keys[place] |= found
        for fault in scenario.get("faults", []):
            positions[fault["op"]].add(fault.get("call", "every"))
            results.add(fault["hresult"])
        modem = scenario.get("modem") or {}
        for key in gen.ANSWER_KEYS:
            if key in modem:
                answers[key].add(modem[key])
        timeline = scenario.get("timeline", [])
        stamps = sorted({item["at_ms"] for item in timeline})
        gaps |= {b - a for a, b in zip(stamps, stamps[1:])}
        exec_ms = (scenario.get("firmware") or {}).get("exec_ms", 0)
        notified = [item["at_ms"] for item in timeline if "notify" in item]
        if exec_ms and any(b - a < exec_ms for a, b in zip(notified, notified[1:])):
            collapsing += 1
        if timeline:
            last = timeline[-1]
            endings.add("removed" if last.get("modem") else "off" if last.get("sim_icc_id") == "" else "other")
        if "modem" in scenario and scenario["modem"] is None:
            endings.add("no modem")
    for op, found in sorted(positions.items()):
        missing = {1, gen.OPS[op], "every"} - found
        if missing:
            failures.append(f"{op}: never drawn at call {sorted(map(str, missing))}")
    for wanted in ("abandoned", "failed", "0x1", "0x40004"):
        if wanted not in results:
            failures.append(f"no fault with hresult {wanted}")
    for place, listed in simulator_keys().items():
        if keys[place] != listed:
            failures.append(f"{place}: keys never drawn {sorted(listed - keys[place])}, "
                            f"drawn but unknown to the simulator {sorted(keys[place] - listed)}")
    bound = gen.OPERATION_BOUND_MS
    for key, found in answers.items():
        missing = {bound - 1, bound, bound + 1, None} - found
        if missing:
            failures.append(f"modem.{key}: never {sorted(missing, key=str)}")
    for around in (gen.HYSTERESIS_MS, gen.WAIT_BOUND_MS):
        missing = {around - 1, around + 1} - gaps
        if missing:
            failures.append(f"no two timeline items {sorted(missing)} ms apart")
    if collapsing < 20:
        failures.append(f"only {collapsing} scenarios with notifications closer than a firmware call")
    if endings != {"removed", "off", "other", "no modem"}:
        failures.append(f"the timelines end only with {sorted(endings)}")
    return failures


def check_same_seed():
    failures = []
    seeds = list(range(50)) + [2**31 - 1]
    here = [gen.text(seed) for seed in seeds]
    if here != [gen.text(seed) for seed in seeds]:
        failures.append("a seed gave two scenarios in one process")
    if len(set(here)) < len(here) - 2:
        failures.append("different seeds give mostly the same scenario")
    program = "import sys, scenario_generator as g; sys.stdout.write(''.join(g.text(s) for s in %r))" % seeds
    other = subprocess.run([sys.executable, "-c", program], cwd=HERE, capture_output=True, text=True,
                           env=dict(os.environ, PYTHONHASHSEED="12345"), check=True).stdout
    if other != "".join(here):
        failures.append("a seed gave another scenario in another process")
    return failures


def check_runs(binary):
    failures = []
    ends = set()
    with tempfile.TemporaryDirectory() as work:
        for seed in RUN_SEEDS:
            path = os.path.join(work, f"random_{seed}.json")
            with open(path, "w", encoding="utf-8") as out:
                out.write(gen.text(seed))
            try:
                run = subprocess.run([binary], env=dict(os.environ, KORVI_SIM_SCENARIO=path, KORVI_DEBUG_LOG="/dev/null",
                                                        KORVI_SIM_TRACE="/dev/null"),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace",
                                     timeout=60)
            except subprocess.TimeoutExpired:
                failures.append(f"seed {seed}: the run did not end within 60 s: {gen.text(seed)}")
                continue
            ends.add(run.returncode)
            if run.returncode not in (0, 1, 3, 4):
                failures.append(f"seed {seed}: exit code {run.returncode}: {run.stderr.strip()[:300]}\n{gen.text(seed)}")
    if not failures and ends != {0, 1, 3, 4}:
        failures.append(f"over seeds {RUN_SEEDS.start} to {RUN_SEEDS.stop - 1} the runs end only with {sorted(ends)}")
    return failures


def main(binary):
    failures = check_same_seed() + check_reach() + check_runs(binary)
    for failure in failures:
        print(f"generator_test: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: generator_test.py KORVI_SAR", file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
