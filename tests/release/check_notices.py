"""Holds what the linker put into the shipped exes against THIRD-PARTY-NOTICES.txt.

The linker's map (-Wl,-Map) names every archive member it took and every object it loaded.
Each library from outside the build, taken in part or whole, must be named on a "Libraries:"
line of the notices, except an import library: its members (dlltool's <dll>h.o, <dll>t.o,
<dll>s<NNNNN>.o, several DLLs to one archive at times) only refer to functions of a DLL of Windows and put no code of
anyone's into the exe."""

import os
import re

MEMBER = re.compile(r"^(\S+\.a)\(([^)]+)\)$")
LOADED = re.compile(r"^LOAD (\S+\.o)$")


def linked_libraries(map_text):
    """{library file name: set of members} of what the build took from outside itself; a
    loaded object (crt2.o) is its own single member."""
    taken = {}
    included = False
    for line in map_text.splitlines():
        if line.startswith("Archive member included"):
            included = True
        elif line.startswith(("Discarded input sections", "Allocating common symbols", "Memory Configuration")):
            included = False
        loaded = LOADED.match(line)
        member = MEMBER.match(line) if included else None
        path, name = (member.group(1), member.group(2)) if member else \
                     (loaded.group(1), None) if loaded else (None, None)
        # The build's own archives and objects are named relative to the build folder.
        if path and os.path.isabs(path):
            library = os.path.basename(path)
            taken.setdefault(library, set()).add(name or library)
    return taken


IMPORT_MEMBER = re.compile(r"(.+?)(h|t|s\d{5})\.o")


def is_import_library(library, members):
    """Every member is a head, a tail or a stub of some DLL's imports, and each DLL named has
    a stub among them (so that a name that just ends in h or t is not taken for one)."""
    parts = [IMPORT_MEMBER.fullmatch(m) for m in members]
    if not library.endswith(".a") or not all(parts):
        return False
    stubbed = {p.group(1) for p in parts if p.group(2).startswith("s")}
    return all(p.group(1) in stubbed for p in parts)


def covered(notices_text):
    """The library file names on the notices' "Libraries:" lines (continued on lines that
    start with a space)."""
    names, listing = set(), False
    for line in notices_text.splitlines():
        if line.startswith("Libraries:"):
            listing = True
            line = line[len("Libraries:"):]
        elif not line.startswith(" "):
            listing = False
        if listing:
            names.update(line.split())
    return names


def faults(maps, notices_text):
    """{program: map text} against the notices: one line per library linked with no notice."""
    names = covered(notices_text)
    found = []
    for program, map_text in sorted(maps.items()):
        for library, members in sorted(linked_libraries(map_text).items()):
            if library not in names and not is_import_library(library, members):
                found.append(f"{program} links {library} ({', '.join(sorted(members)[:3])}...), "
                             "which no notice in THIRD-PARTY-NOTICES.txt covers")
    return found
