"""The two builds a mutation can be judged by, each configured once inside the copy.

"linux" is the default preset with its ctest suite; "windows" the mingw preset with its suite
under Wine (the environment, KORVI_WINE_PREFIX among it, is passed through as it stands).
The presets are the copy's own, so a mutation meets exactly the settings CI builds with.
"""

from __future__ import annotations

import contextlib
import dataclasses
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import threading

PRESETS = {"linux": "default", "windows": "mingw"}
BUILDS_AVAILABLE = tuple(PRESETS)

# Stages of one suite, quickest first: a mutation is usually killed by a unit test within
# seconds, and the suite stops at its first failure. Each stage is a ctest selection, an
# including and an excluding pattern (None: no such option); the stages of a build must take
# every test but the runner's own exactly once, which is checked against ctest's own list
# before anything runs. Patterns select by name prefix only: parametrised tests carry their
# parameters' bytes in their names, which change from build to build.
STAGES = {
    "linux": [("unit", None, r"^(e2e|timeline|bench|mutation)\."), ("end-to-end", r"^(e2e|timeline)\.", None),
              ("bench", r"^bench\.", None)],
    "windows": [("unit", None, r"^(wine|mutation)\."), ("wine", r"^wine\.", r"^wine\.real_kernel\."),
                ("wine real kernel", r"^wine\.real_kernel\.", None)],
}
# The runner's own tests judge the lists against the sources, which a planted mutation changes
# on purpose; they are no verdict on a mutation.
RUNNER_TESTS = r"^mutation\."


# The time-out of each test while a mutation is judged, in seconds: a planted fault that makes a
# wait unbounded hangs its test, and is killed when this passes rather than at the preset's
# own, longer bound. Far above any test's time in that build (unsanitized: the longest Linux
# test takes about 2 s; under Wine the supervisor's retry test waits a real 30 s), so a kill is
# a hang and not a slow machine.
MUTATION_TEST_TIMEOUT = {"linux": 30, "windows": 90}

# How ctest marks a test that did not pass, in its progress line.
FAILED_TEST = re.compile(r"\*\*\*(Failed|Exception|Timeout|Not Run)")


# The children running now, each the leader of its own process group, and whether the run is
# being stopped: then every child's group is killed and no new child starts, so that both
# builds' threads come to their end (restoring what they planted) within moments.
_children: set = set()
_children_lock = threading.Lock()
_stopping = threading.Event()


def _start(command: list[str], **options) -> subprocess.Popen | None:
    with _children_lock:
        if _stopping.is_set():
            return None
        process = subprocess.Popen(command, start_new_session=True, stdin=subprocess.DEVNULL, **options)
        _children.add(process)
        return process


def _finished(process: subprocess.Popen) -> None:
    with _children_lock:
        _children.discard(process)


def stopped() -> bool:
    return _stopping.is_set()


def stop_every_child() -> None:
    """Kills every running child's process group and lets no new one start."""
    with _children_lock:
        _stopping.set()
        for process in _children:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)


def object_cache_launcher(folder: pathlib.Path) -> str:
    """The compiler launcher that puts ccache's cache in folder: CMake runs the launcher with
    the compiler's command line after it, and env sets the cache for that compile alone."""
    return f"env;CCACHE_DIR={folder};CCACHE_MAXSIZE=4G;{shutil.which('ccache')}"


def object_cache_available() -> bool:
    return shutil.which("ccache") is not None


class StageError(Exception):
    """Stages that do not take every test exactly once."""


def _selects(include, exclude, name: str) -> bool:
    return (include is None or re.search(include, name) is not None) and \
        (exclude is None or re.search(exclude, name) is None)


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
            process = _start(command, cwd=self.copy, stdout=stream, stderr=subprocess.STDOUT)
            if process is None:
                return -signal.SIGKILL
            try:
                return process.wait()
            finally:
                _finished(process)

    def configure(self, log: pathlib.Path, object_cache: pathlib.Path | None = None) -> bool:
        """With object_cache (a folder), every compile goes through ccache with its cache
        there: the restored file of each mutation, and every source that includes a mutated
        header, then compiles from the cache rather than again. The cache is keyed by the
        preprocessed text and the flags, so a mutated file never meets an object of another."""
        command = ["cmake", "--preset", self.preset]
        if object_cache is not None:
            command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=" + object_cache_launcher(object_cache),
                        "-DCMAKE_C_COMPILER_LAUNCHER=" + object_cache_launcher(object_cache)]
        else:
            command += ["-UCMAKE_CXX_COMPILER_LAUNCHER", "-UCMAKE_C_COMPILER_LAUNCHER"]
        return self._run(command, log) == 0

    def build(self, log: pathlib.Path, mode: str = "w") -> bool:
        return self._run(["cmake", "--build", "--preset", self.preset], log, mode) == 0

    def test_names(self) -> list[str]:
        listed = subprocess.run(["ctest", "--preset", self.preset, "--show-only=json-v1"], cwd=self.copy,
                                check=True, capture_output=True, stdin=subprocess.DEVNULL).stdout
        return [test["name"] for test in json.loads(listed)["tests"]]

    def stages(self) -> list[tuple[str, object, object]]:
        """The build's stages that select any test; StageError if a test is in none or in two."""
        names = self.test_names()
        for name in names:
            if re.search(RUNNER_TESTS, name):
                continue
            taking = [label for label, include, exclude in STAGES[self.name] if _selects(include, exclude, name)]
            if len(taking) != 1:
                raise StageError(f"test {name} is in {len(taking)} stages of the {self.name} suite")
        return [stage for stage in STAGES[self.name] if any(_selects(stage[1], stage[2], name) for name in names)]

    def _run_until_failure(self, command: list[str], log: pathlib.Path) -> bool:
        """Runs ctest and ends it, tests in flight included, as soon as one test has failed
        (ctest's own --stop-on-failure waits for the tests still running, a hung one for its
        whole time-out). True when ctest passed."""
        with open(log, "a", encoding="utf-8") as stream:
            stream.write("$ " + " ".join(command) + "\n")
            stream.flush()
            process = _start(command, cwd=self.copy, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             errors="replace")
            if process is None:
                return False
            failed = False
            read_to_the_end = False
            try:
                for line in process.stdout:
                    stream.write(line)
                    if FAILED_TEST.search(line):
                        failed = True
                        stream.write("(the mutation runner ends the suite at its first failing test)\n")
                        break
                else:
                    read_to_the_end = True
            finally:
                if not read_to_the_end:  # a failure, or the runner itself was stopped
                    with contextlib.suppress(ProcessLookupError):
                        os.killpg(process.pid, signal.SIGKILL)
                process.stdout.close()
                returncode = process.wait()
                _finished(process)
            return not failed and returncode == 0

    def run_suite(self, stages: list[tuple[str, object, object]], log: pathlib.Path, stop_on_failure: bool) -> bool:
        """True when every test passed; with stop_on_failure it ends at the first failing test."""
        passed = True
        for _, include, exclude in stages:
            command = ["ctest", "--preset", self.preset]
            command += ["-R", include] if include is not None else []
            command += ["-E", exclude] if exclude is not None else []
            if stop_on_failure:
                command += ["--timeout", str(MUTATION_TEST_TIMEOUT[self.name])]
                if not self._run_until_failure(command, log):
                    return False
            elif self._run(command, log, "a") != 0:
                passed = False
        return passed
