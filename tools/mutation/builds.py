"""The two builds a mutation can be judged by, each configured once inside the copy.

"linux" is the default preset with its ctest suite; "windows" the mingw preset with its suite
under Wine (the environment, KORVI_WINE_PREFIX among it, is passed through as it stands).
The presets are the copy's own, so a mutation meets exactly the settings CI builds with.
"""

from __future__ import annotations

import dataclasses
import json
import pathlib
import re
import subprocess

PRESETS = {"linux": "default", "windows": "mingw"}
BUILDS_AVAILABLE = tuple(PRESETS)

# Stages of one suite, quickest first: a mutation is usually killed by a unit test within
# seconds, and the suite stops at its first failure. Each test runs in the first stage whose
# pattern matches its name; the last stage takes every test that is left.
STAGES = {
    "linux": [("unit", r"^(?!(e2e|timeline|bench|wine)\.)"), ("end-to-end", r"^(e2e|timeline)\."), ("rest", r"")],
    "windows": [("unit", r"^(?!wine\.)"), ("wine", r"^wine\.(?!real_kernel\.)"), ("rest", r"")],
}


def _ctest_regex(names: list[str]) -> str:
    """An exact-name alternation in CMake's regular-expression syntax."""
    escaped = [re.sub(r"([.^$|()\[\]*+?\\])", r"\\\1", name) for name in names]
    return "^(" + "|".join(escaped) + ")$"


@dataclasses.dataclass
class Build:
    name: str
    copy: pathlib.Path

    @property
    def preset(self) -> str:
        return PRESETS[self.name]

    def _run(self, command: list[str], log: pathlib.Path, mode: str = "w") -> int:
        with open(log, mode, encoding="utf-8") as stream:
            stream.write("$ " + " ".join(command) + "\n")
            stream.flush()
            return subprocess.run(command, cwd=self.copy, stdout=stream, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL).returncode

    def configure(self, log: pathlib.Path) -> bool:
        return self._run(["cmake", "--preset", self.preset], log) == 0

    def build(self, log: pathlib.Path, mode: str = "w") -> bool:
        return self._run(["cmake", "--build", "--preset", self.preset], log, mode) == 0

    def test_names(self) -> list[str]:
        listed = subprocess.run(["ctest", "--preset", self.preset, "--show-only=json-v1"], cwd=self.copy,
                                check=True, capture_output=True, stdin=subprocess.DEVNULL).stdout
        return [test["name"] for test in json.loads(listed)["tests"]]

    def stages(self) -> list[tuple[str, list[str]]]:
        left = self.test_names()
        stages = []
        for label, pattern in STAGES[self.name]:
            taken = [name for name in left if re.search(pattern, name)]
            left = [name for name in left if name not in taken]
            if taken:
                stages.append((label, taken))
        return stages

    def run_suite(self, stages: list[tuple[str, list[str]]], log: pathlib.Path, stop_on_failure: bool) -> bool:
        """True when every test passed; with stop_on_failure it ends at the first failing test."""
        passed = True
        for _, names in stages:
            command = ["ctest", "--preset", self.preset, "-R", _ctest_regex(names)]
            if stop_on_failure:
                command.append("--stop-on-failure")
            if self._run(command, log, "a") != 0:
                passed = False
                if stop_on_failure:
                    break
        return passed
