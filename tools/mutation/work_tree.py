"""The copy of the repository that mutations are planted in, and planting them safely.

The copy lives under build/ and is kept between runs: only files whose contents differ from the
repository are rewritten, so the builds inside it stay incremental. Every write stamps the file
with the current time, never an older one: make rebuilds only what is newer than its object, and
an object built from a mutated file must never pass for one built from the restored file.
"""

from __future__ import annotations

import contextlib
import os
import pathlib
import subprocess
import time


def tracked_files(root: pathlib.Path) -> list[str]:
    """The repository's files: tracked ones and new ones not ignored (build/ never)."""
    listed = subprocess.run(
        ["git", "-C", str(root), "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        check=True, capture_output=True).stdout.decode("utf-8")
    return sorted({name for name in listed.split("\0") if name and (root / name).is_file()})


def write_now(path: pathlib.Path, data: bytes) -> None:
    """Writes `data` and stamps the file newer than anything built before this call."""
    path.write_bytes(data)
    now = time.time_ns()
    os.utime(path, ns=(now, now))


def sync_copy(root: pathlib.Path, copy: pathlib.Path) -> int:
    """Makes `copy` hold the repository's files; returns how many were written."""
    names = tracked_files(root)
    written = 0
    for name in names:
        source = root / name
        target = copy / name
        data = source.read_bytes()
        if target.is_file() and target.read_bytes() == data:
            if os.access(source, os.X_OK) != os.access(target, os.X_OK):
                target.chmod(source.stat().st_mode & 0o777)
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        write_now(target, data)
        target.chmod(source.stat().st_mode & 0o777)
        written += 1
    # Files that left the repository leave the copy too (its build trees are not ours to sweep).
    kept = set(names)
    for folder, subfolders, files in os.walk(copy):
        if pathlib.Path(folder) == copy and "build" in subfolders:
            subfolders.remove("build")
        for file in files:
            path = pathlib.Path(folder) / file
            if path.relative_to(copy).as_posix() not in kept:
                path.unlink()
                written += 1
    return written


@contextlib.contextmanager
def planted(copy: pathlib.Path, relative: str, mutated: str):
    """Holds the mutated text in the copy for the body, then restores the original text.

    The restored file is stamped now, so the next build recompiles it from its original text.
    """
    path = copy / relative
    original = path.read_bytes()
    try:
        write_now(path, mutated.encode("utf-8"))
        yield
    finally:
        write_now(path, original)
