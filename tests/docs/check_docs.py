#!/usr/bin/python3
"""The documentation's examples run, its quoted output is the program's, and its links lead
somewhere.

    check_docs.py BINARY REPOSITORY WORK_DIR

- docs/scenarios.md: the plain example (its first sh block) is run as it stands, with /tmp
  and ./build/default/korvi-sar moved to WORK_DIR and BINARY, and must exit 0 with exactly
  the standard error quoted in the text block after it.
- docs/evidence.md: the figures quoted for the embedded default scenario are the last lines of
  that scenario's expected standard error, the example trace lines, without their wall-clock
  stamps, are lines of its expected trace, and the example run record is its first line
  (any commit), with the hash of scenarios/default.json.
- README.md and docs/*.md: every relative link names a file that exists, and every #anchor
  into a Markdown file names one of its headings; and no page gives a count of tests.
"""

import glob
import hashlib
import json
import os
import re
import subprocess
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def fenced(text):
    """(language, body) of each fenced block, in order; a block opens with ``` and a language
    (or none) and closes with a bare ```."""
    found, language, lines = [], None, []
    for line in text.splitlines(keepends=True):
        if language is None and line.startswith("```"):
            language, lines = line[3:].strip(), []
        elif language is not None and line.rstrip("\n") == "```":
            found.append((language, "".join(lines)))
            language = None
        elif language is not None:
            lines.append(line)
    return found


def blocks(text, language):
    """The bodies of the fenced blocks opened with ```language (exactly), in order."""
    return [body for kind, body in fenced(text) if kind == language]


def prose(text):
    """The text outside fenced blocks."""
    inside, kept = False, []
    for line in text.splitlines(keepends=True):
        if line.startswith("```"):
            inside = not inside if (not inside or line.rstrip("\n") == "```") else inside
            continue
        if not inside:
            kept.append(line)
    return "".join(kept)


def plain_example(repo, binary, work):
    text = open(os.path.join(repo, "docs/scenarios.md"), encoding="utf-8").read()
    scripts, outputs = blocks(text, "sh"), blocks(text, "text")
    check(scripts and outputs, "docs/scenarios.md has no sh example followed by its text output")
    if not (scripts and outputs):
        return
    script = scripts[0].replace("/tmp/", work.rstrip("/") + "/").replace("./build/default/korvi-sar", binary)
    run = subprocess.run(["bash", "-e", "-c", script], cwd=repo, capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, f"the plain example exited {run.returncode}: {run.stderr.strip()[:200]}")
    # The scenario's path as the page gives it, and any commit for the one the page shows.
    stderr = same_commit(run.stderr.replace(work.rstrip("/") + "/", "/tmp/"))
    check(stderr == same_commit(outputs[0]), f"the plain example's stderr differs from the documented one:\n"
                                             f"{run.stderr}--- documented:\n{outputs[0]}")


def same_commit(text):
    """The text with every commit that names a build ("commit 0123456789ab", "-dirty" or not,
    or "unknown"; or its JSON form) as "-": the pages show one, the build has another."""
    text = re.sub(r"(, commit )([0-9a-f]{12}(-dirty)?|unknown)$", r"\1-", text, flags=re.M)
    return re.sub(r'("commit":")([0-9a-f]{12}(-dirty)?|unknown)"', r'\1-"', text)


def evidence(repo):
    text = open(os.path.join(repo, "docs/evidence.md"), encoding="utf-8").read()
    expected = os.path.join(repo, "scenarios/expected/default")
    stderr = open(expected + ".stderr", encoding="utf-8").read()
    figures = [b for b in blocks(text, "text") if b.startswith("korvi-sim: trace:")]
    check(len(figures) == 1 and stderr.endswith(figures[0]),
          "docs/evidence.md's figures are not the default scenario's last stderr lines")
    trace_lines = open(expected + ".sim-trace", encoding="utf-8").read().splitlines()
    # The run record shown is the embedded default's: the file's run record, the scenario
    # named as the embedded one with the same hash, which is the file's.
    runs = [b for b in blocks(text, "json") if '"event":"run"' in b]
    check(len(runs) == 1, "docs/evidence.md has no example run record (a json block)")
    if runs:
        record = json.loads(same_commit(runs[0]))
        record.pop("t_wall_us", None)
        expected_run = json.loads(trace_lines[0])
        expected_run["scenario"] = {"embedded": True, "sha256": expected_run["scenario"]["sha256"]}
        check(json.dumps(record, separators=(",", ":")) == json.dumps(expected_run, separators=(",", ":")),
              f"docs/evidence.md's run record is not the embedded default's: {runs[0].strip()}")
        with open(os.path.join(repo, "scenarios/default.json"), "rb") as scenario:
            digest = hashlib.sha256(scenario.read()).hexdigest()
        check(record.get("scenario", {}).get("sha256") == digest,
              "docs/evidence.md's run record does not give the sha256 of scenarios/default.json")
    examples = [b for b in blocks(text, "") if '"t_wall_us"' in b]
    check(len(examples) == 1, "docs/evidence.md has no example trace block")
    for line in examples[0].splitlines() if examples else []:
        record = json.loads(line)
        record.pop("t_wall_us")
        check(json.dumps(record, separators=(",", ":")) in trace_lines,
              f"docs/evidence.md's trace line is not in the default scenario's trace: {line}")


def slug(heading):
    """The anchor a Markdown renderer gives a heading."""
    text = re.sub(r"[`*_]", "", heading.strip().lower())
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def links(repo):
    pages = [os.path.join(repo, "README.md")] + sorted(glob.glob(os.path.join(repo, "docs", "*.md")))
    anchors = {}
    for page in pages:
        text = open(page, encoding="utf-8").read()
        body = prose(text)
        anchors[os.path.realpath(page)] = {slug(h) for h in re.findall(r"^#+ (.*)$", body, re.M)}
    for page in pages:
        text = open(page, encoding="utf-8").read()
        body = prose(text)
        for target in re.findall(r"\]\(([^)\s]+)\)", body):
            if re.match(r"[a-z]+:", target):
                continue  # a web address
            path, _, anchor = target.partition("#")
            where = os.path.realpath(os.path.join(os.path.dirname(page), path)) if path else os.path.realpath(page)
            name = os.path.relpath(page, repo)
            check(os.path.exists(where), f"{name}: link to {target}: no such file")
            if anchor and where.endswith(".md") and os.path.exists(where):
                check(anchor in anchors.get(where, set()), f"{name}: link to {target}: no such heading")


# "253 tests", "95\n  tests", "34 unit tests": a count that goes stale with the next test.
TEST_COUNT = re.compile(r"\b\d[\d,]*\s+(?:[\w-]+\s+)?tests?\b")


def no_test_counts(repo):
    """No page states how many tests there are: that is what `ctest -N` counts, at any time."""
    for path in [os.path.join(repo, "README.md")] + sorted(glob.glob(os.path.join(repo, "docs", "*.md"))):
        with open(path, encoding="utf-8") as stream:
            for found in TEST_COUNT.finditer(prose(stream.read())):
                check(False, f"{os.path.relpath(path, repo)}: \"{' '.join(found.group(0).split())}\": a count of tests "
                             f"written by hand; say how to count them (ctest -N) instead")


def main(binary, repo, work):
    os.makedirs(work, exist_ok=True)
    plain_example(repo, os.path.realpath(binary), work)
    evidence(repo)
    links(repo)
    no_test_counts(repo)


if __name__ == "__main__":
    main(*sys.argv[1:4])
    for failure in failures:
        print(f"check_docs: {failure}")
    sys.exit(1 if failures else 0)
