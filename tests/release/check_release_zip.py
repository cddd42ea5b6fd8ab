#!/usr/bin/env python3
"""Checks the release that cpack made:

    check_release_zip.py PACKAGE_DIR VERSION

PACKAGE_DIR holds exactly korvi-sar-VERSION-win64.zip (what ships) and
korvi-sar-VERSION-win64-debug.zip (the debug information). The first holds exactly the two
stripped exes (the service and the field-capture tool), the task definition, the deployment
and field-capture guides, the README and the licence; each exe carries its version resource
and manifest and names its debug file, whose checksum matches the one in the second zip.
Prints one line per fault, ends with 1 if there was one."""

import os
import struct
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_pe_resources  # noqa: E402
import pe_file  # noqa: E402

PROGRAMS = ["korvi-capture.exe", "korvi-sar.exe"]
SHIPPED = sorted(["LICENSE", "README.md", "deploy/korvi-sar.task.xml", "docs/deploying.md", "docs/field-capture.md"]
                 + PROGRAMS)
DEBUG = sorted(p + ".debug" for p in PROGRAMS)


def members(archive):
    """The archive's files, sorted."""
    return sorted(n for n in archive.namelist() if not n.endswith("/"))


def program_faults(program, exe, debug_data):
    """What is wrong with one shipped exe and its debug file."""
    faults = []
    debug_sections = [n for n in exe.section_names() if n.startswith(".debug")]
    # (A stripped exe keeps a COFF string table, for the long name .gnu_debuglink, but no symbol.)
    if debug_sections or exe.symbol_count:
        faults.append(f"{program} is not stripped: sections {debug_sections}, {exe.symbol_count} symbols")
    faults += [f"{program}: {f}" for f in check_pe_resources.faults(exe)]

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


def check(package_dir, version):
    faults = []
    base = f"korvi-sar-{version}-win64"
    zips = sorted(n for n in os.listdir(package_dir) if n.endswith(".zip"))
    if zips != [base + "-debug.zip", base + ".zip"]:
        return [f"{package_dir}: the zips are {zips}, expected {base}.zip and {base}-debug.zip"]

    with zipfile.ZipFile(os.path.join(package_dir, base + ".zip")) as shipped:
        names = members(shipped)
        if names != SHIPPED:
            return [f"{base}.zip holds {names}, expected {SHIPPED}"]
        exes = {p: pe_file.PeFile(shipped.read(p), p) for p in PROGRAMS}
    with zipfile.ZipFile(os.path.join(package_dir, base + "-debug.zip")) as debug:
        names = members(debug)
        if names != DEBUG:
            return [f"{base}-debug.zip holds {names}, expected {DEBUG}"]
        debug_data = {p: debug.read(p + ".debug") for p in PROGRAMS}

    for program, exe in exes.items():
        faults += program_faults(program, exe, debug_data[program])
    return faults


def main(argv):
    if len(argv) != 3:
        print("usage: check_release_zip.py PACKAGE_DIR VERSION", file=sys.stderr)
        return 2
    try:
        faults = check(argv[1], argv[2])
    except (OSError, zipfile.BadZipFile, struct.error, ValueError, pe_file.PeError) as error:
        print(f"check_release_zip.py: {error}", file=sys.stderr)
        return 1
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
