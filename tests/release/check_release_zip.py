#!/usr/bin/env python3
"""Checks the release that cpack made:

    check_release_zip.py PACKAGE_DIR VERSION MAP_DIR VERSION_STRINGS.json SIGNING_CERT|-

PACKAGE_DIR holds exactly korvi-sar-VERSION-win64.zip (what ships) and
korvi-sar-VERSION-win64-debug.zip (the debug information). The first holds one folder,
korvi-sar-VERSION/, and in it the three stripped
exes (the service, the supervisor that the task starts and the field-capture tool), the install, update and remove scripts, the task definition, the release's README, the licence, the third-party notices,
and docs/: the deployment and field-capture guides and the other pages and pictures the
README's links lead to; nothing else. Every relative link of every page it holds leads to a
file it holds, so that the docs read inside the unpacked zip as in the repository. Each exe
is signed by SIGNING_CERT, its signature verified by `osslsigncode verify`
(or, given "-", carries no signature); each carries its version resource, with the strings VERSION_STRINGS.json gives for it
({"korvi-sar.exe": {"CompanyName": ...}, ...}), and its manifest, and names its debug file, whose checksum matches
the one in the second zip. Every library the linker took into an exe (MAP_DIR holds the
linker's map of each, <program>.map) carries its notice in THIRD-PARTY-NOTICES.txt. Prints one line per fault, ends with 1 if there was one."""

import json
import os
import posixpath
import shutil
import subprocess
import tempfile
import re
import struct
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_notices  # noqa: E402
import check_pe_resources  # noqa: E402
import pe_file  # noqa: E402

PROGRAMS = ["korvi-capture.exe", "korvi-sar.exe", "korvi-supervisor.exe"]
# The supervisor that the task starts must open no console window; the other two are console
# programs (the service's console is what the supervisor reads).
SUBSYSTEMS = {"korvi-capture.exe": 3, "korvi-sar.exe": 3, "korvi-supervisor.exe": 2}
# What must ship whatever the links say; the rest of docs/ ships as the pages link it.
REQUIRED = sorted(["LICENSE", "README.md", "THIRD-PARTY-NOTICES.txt", "install.cmd", "update.cmd", "remove.cmd", "deploy/korvi-sar.task.xml", "docs/deploying.md", "docs/field-capture.md"]
                  + PROGRAMS)
DOCS = re.compile(r"docs/[^/]+\.(md|svg)")
DEBUG = sorted(p + ".debug" for p in PROGRAMS)


def prose(text):
    """A page's text outside its fenced blocks, where a link is a link."""
    inside, kept = False, []
    for line in text.splitlines():
        if line.startswith("```"):
            inside = not inside if (not inside or line == "```") else inside
            continue
        if not inside:
            kept.append(line)
    return "\n".join(kept)


def page_links(archive, page):
    """(target, path in the zip) of each relative link to a file on a shipped page."""
    text = archive.read(page).decode("utf-8", "replace")
    found = []
    for target in re.findall(r"\]\(([^)\s]+)\)", prose(text)):
        path = target.partition("#")[0]
        if path and not re.match(r"[a-z]+:", path):  # not a heading of the page, nor a web address
            found.append((target, posixpath.normpath(posixpath.join(posixpath.dirname(page), path))))
    return found


def link_faults(archive, names):
    """A relative link of a shipped page that does not lead to a shipped file; and a page or
    picture of docs/ that no chain of links from README.md leads to, which nobody would find."""
    faults = [f"{page}: link to {target}: {where} is not in the zip"
              for page in sorted(n for n in names if n.endswith(".md"))
              for target, where in page_links(archive, page) if where not in names]
    reached, pages = set(), ["README.md"]
    while pages:
        page = pages.pop()
        if page not in reached:
            reached.add(page)
            if page.endswith(".md"):
                pages += [where for _, where in page_links(archive, page) if where in names]
    faults += [f"{name} ships, but no link from README.md leads to it"
               for name in sorted(names) if DOCS.fullmatch(name) and name not in reached]
    return faults


# What the release's README tells a Windows user, which the repository's front page does not.
README_TELLS = {"install.cmd": "how to install", "update.cmd": "how to update", "remove.cmd": "how to remove",
                "%LOCALAPPDATA%\\Korvi\\korvi-supervisor.log": "where the field log lives",
                "korvi-capture.exe": "how to capture", "## Exit codes": "the exit codes"}


def readme_faults(text):
    faults = [f"README.md does not say {what} ({needle!r})" for needle, what in README_TELLS.items()
              if needle not in text]
    if "Quick start (Debian)" in text:
        faults.append("README.md is the repository's front page, not the release's")
    return faults


def members(archive):
    """The archive's files, sorted."""
    return sorted(n for n in archive.namelist() if not n.endswith("/"))


class Folder:
    """The files under one folder of an archive, by their paths inside it."""

    def __init__(self, archive, top):
        self.archive, self.top = archive, top

    def read(self, name):
        return self.archive.read(self.top + name)


def version_string_faults(program, exe, expected):
    """The strings of the exe's version resource (U.S. English, Unicode) that are not the
    build's."""
    if not expected:
        return [f"{program}: the build gives no strings to expect of its version resource"]
    resource = exe.resource_data(pe_file.RT_VERSION, 1)
    if resource is None:
        return []  # reported with the resources
    strings = pe_file.version_strings(resource).get("040904B0", {})
    return [f"{program}: {name} is {strings.get(name)!r}, expected {text!r}"
            for name, text in sorted(expected.items()) if strings.get(name) != text]


def signature_faults(program, exe, certificate):
    """An exe that should be signed and whose signature does not verify against the
    certificate, or one that should not be and carries a signature."""
    if certificate is None:
        return [f"{program} is signed, but the build was given no certificate"] if exe.certificate_size else []
    if not exe.certificate_size:
        return [f"{program} is not signed"]
    tool = shutil.which("osslsigncode")
    if tool is None:
        return [f"{program}: osslsigncode is not installed, so its signature cannot be verified"]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, program)
        with open(path, "wb") as f:
            f.write(exe.data)
        result = subprocess.run([tool, "verify", "-CAfile", certificate, "-in", path],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        last = (result.stdout.strip().splitlines() or ["no output"])[-1]
        return [f"{program}: its signature does not verify against {certificate} ({last})"]
    return []


def program_faults(program, exe, debug_data, expected_strings):
    """What is wrong with one shipped exe and its debug file."""
    faults = version_string_faults(program, exe, expected_strings)
    debug_sections = [n for n in exe.section_names() if n.startswith(".debug")]
    # (A stripped exe keeps a COFF string table, for the long name .gnu_debuglink, but no symbol.)
    if debug_sections or exe.symbol_count:
        faults.append(f"{program} is not stripped: sections {debug_sections}, {exe.symbol_count} symbols")
    faults += [f"{program}: {f}" for f in check_pe_resources.faults(exe)]
    if exe.subsystem != SUBSYSTEMS[program]:
        faults.append(f"{program}: subsystem {exe.subsystem}, expected {SUBSYSTEMS[program]} (2 GUI, 3 console)")

    link = exe.section_data(".gnu_debuglink")
    if link is None:
        faults.append(f"{program} names no debug file (.gnu_debuglink)")
    else:
        name = link[:link.index(b"\0")].decode("ascii", "replace")
        crc_at = (len(name) + 1 + 3) & ~3
        crc = struct.unpack_from("<I", link, crc_at)[0]
        if name != program + ".debug":
            faults.append(f"{program} names the debug file {name!r}, expected {program + '.debug'!r}")
        if crc != zlib.crc32(debug_data):
            faults.append(f"the debug file's checksum is not the one {program} names")
    debug_file = pe_file.PeFile(debug_data, program + ".debug")
    if ".debug_info" not in debug_file.section_names():
        faults.append(f"{program}.debug holds no debug information (.debug_info)")
    return faults


def check(package_dir, version, map_dir, expected_strings, certificate):
    faults = []
    base = f"korvi-sar-{version}-win64"
    zips = sorted(n for n in os.listdir(package_dir) if n.endswith(".zip"))
    if zips != [base + "-debug.zip", base + ".zip"]:
        return [f"{package_dir}: the zips are {zips}, expected {base}.zip and {base}-debug.zip"]

    with zipfile.ZipFile(os.path.join(package_dir, base + ".zip")) as archive:
        top = f"korvi-sar-{version}/"
        loose = [n for n in members(archive) if not n.startswith(top)]
        if loose:
            return [f"{base}.zip holds {loose} outside its one folder {top}"]
        shipped = Folder(archive, top)
        names = [n[len(top):] for n in members(archive)]
        missing = [n for n in REQUIRED if n not in names]
        extra = [n for n in names if n not in REQUIRED and not DOCS.fullmatch(n)]
        if missing or extra:
            return [f"{base}.zip holds {names}: missing {missing}, not to ship {extra}"]
        faults += link_faults(shipped, set(names))
        faults += readme_faults(shipped.read("README.md").decode("utf-8", "replace"))
        exes = {p: pe_file.PeFile(shipped.read(p), p) for p in PROGRAMS}
        notices = shipped.read("THIRD-PARTY-NOTICES.txt").decode("utf-8", "replace")
    with zipfile.ZipFile(os.path.join(package_dir, base + "-debug.zip")) as debug:
        names = members(debug)
        if names != DEBUG:
            return [f"{base}-debug.zip holds {names}, expected {DEBUG}"]
        debug_data = {p: debug.read(p + ".debug") for p in PROGRAMS}

    for program, exe in exes.items():
        faults += program_faults(program, exe, debug_data[program], expected_strings.get(program))
        faults += signature_faults(program, exe, certificate)
    maps = {}
    for program in PROGRAMS:
        with open(os.path.join(map_dir, program[:-len(".exe")] + ".map"), encoding="utf-8", errors="replace") as f:
            maps[program] = f.read()
    faults += check_notices.faults(maps, notices)
    return faults


def main(argv):
    if len(argv) != 6:
        print("usage: check_release_zip.py PACKAGE_DIR VERSION MAP_DIR VERSION_STRINGS.json SIGNING_CERT|-",
              file=sys.stderr)
        return 2
    try:
        with open(argv[4], encoding="utf-8") as f:
            expected_strings = json.load(f)
        faults = check(argv[1], argv[2], argv[3], expected_strings, None if argv[5] == "-" else argv[5])
    except (OSError, json.JSONDecodeError, zipfile.BadZipFile, struct.error, ValueError, pe_file.PeError) as error:
        print(f"check_release_zip.py: {error}", file=sys.stderr)
        return 1
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
