"""The mutation lists: reading and checking the TOML files under tools/mutation/mutations/.

Each entry names one planted fault: in `file`, the exact text `find` (which must occur exactly
once) becomes `replace`. A list that cannot be trusted stops the run before anything is built,
with one line naming the file and the entry, so that a typo never passes for a killed mutation.
"""

from __future__ import annotations

import dataclasses
import pathlib
import re
import tomllib

BUILDS = ("linux", "windows")
FIELDS = ("id", "build", "file", "find", "replace", "fault")
ID_PATTERN = re.compile(r"^[a-z0-9]+(-[a-z0-9]+)*$")


class ListError(Exception):
    """A list that is not what the format says; the message is one line."""


@dataclasses.dataclass(frozen=True)
class Mutation:
    id: str
    build: str
    file: str  # from the repository's root, with forward slashes
    find: str
    replace: str
    fault: str
    origin: str  # "LIST.toml, entry N" or "generated", for messages

    def apply(self, text: str) -> str:
        """The mutated text; ApplyError when `find` does not occur exactly once."""
        count = text.count(self.find)
        if count != 1:
            where = "not found" if count == 0 else f"found {count} times"
            raise ApplyError(f"{self.origin} ({self.id}): find {where} in {self.file}")
        return text.replace(self.find, self.replace, 1)


class ApplyError(Exception):
    """A mutation whose `find` no longer matches its file exactly once."""


def _entry_error(path: pathlib.Path, index: int, entry: object, what: str) -> ListError:
    name = ""
    if isinstance(entry, dict) and isinstance(entry.get("id"), str):
        name = f" ({entry['id']})"
    return ListError(f"{path}: entry {index}{name}: {what}")


def read_list(path: pathlib.Path, root: pathlib.Path) -> list[Mutation]:
    """The mutations of one list file; ListError for anything the format does not allow."""
    try:
        with open(path, "rb") as stream:
            document = tomllib.load(stream)
    except tomllib.TOMLDecodeError as error:
        raise ListError(f"{path}: not valid TOML: {error}") from None
    except OSError as error:
        raise ListError(f"{path}: cannot read: {error.strerror}") from None

    for key in document:
        if key != "mutation":
            raise ListError(f"{path}: unknown top-level key '{key}' (only [[mutation]] entries belong here)")
    entries = document.get("mutation", [])
    if not isinstance(entries, list):
        raise ListError(f"{path}: 'mutation' must be an array of tables ([[mutation]])")

    mutations = []
    for index, entry in enumerate(entries, start=1):
        if not isinstance(entry, dict):
            raise _entry_error(path, index, entry, "not a table")
        for key in entry:
            if key not in FIELDS:
                raise _entry_error(path, index, entry, f"unknown key '{key}'")
        for key in FIELDS:
            if key not in entry:
                raise _entry_error(path, index, entry, f"missing field '{key}'")
            if not isinstance(entry[key], str):
                raise _entry_error(path, index, entry, f"field '{key}' must be a string")
        if not ID_PATTERN.match(entry["id"]):
            raise _entry_error(path, index, entry, "id must be kebab-case (lower-case letters, digits, single hyphens)")
        if entry["build"] not in BUILDS:
            raise _entry_error(path, index, entry, f"unknown build '{entry['build']}' (expected linux or windows)")
        if entry["find"] == "":
            raise _entry_error(path, index, entry, "find is empty")
        if entry["find"] == entry["replace"]:
            raise _entry_error(path, index, entry, "replace equals find: nothing would change")
        if "\n" in entry["fault"] or not entry["fault"].strip():
            raise _entry_error(path, index, entry, "fault must be one non-empty line")
        relative = pathlib.PurePosixPath(entry["file"])
        if relative.is_absolute() or ".." in relative.parts:
            raise _entry_error(path, index, entry, f"file '{entry['file']}' must be a path inside the repository")
        if not (root / relative).is_file():
            raise _entry_error(path, index, entry, f"file '{entry['file']}' does not exist")
        mutations.append(Mutation(origin=f"{path.name}, entry {index}", **{key: entry[key] for key in FIELDS}))
    return mutations


def read_lists(directory: pathlib.Path, root: pathlib.Path) -> list[Mutation]:
    """Every list in `directory` (a missing list is simply absent); ids are unique across them."""
    mutations: list[Mutation] = []
    seen: dict[str, str] = {}
    for path in sorted(directory.glob("*.toml")):
        for mutation in read_list(path, root):
            if mutation.id in seen:
                raise ListError(f"{path}: {mutation.origin.split(', ', 1)[1]} ({mutation.id}): "
                                f"id already used in {seen[mutation.id]}")
            seen[mutation.id] = mutation.origin
            mutations.append(mutation)
    return mutations
