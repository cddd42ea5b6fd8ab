#!/usr/bin/env python3
"""Checks the release that cpack made:

    check_release_zip.py PACKAGE_DIR VERSION

PACKAGE_DIR holds exactly korvi-sar-VERSION-win64.zip (what ships) and
korvi-sar-VERSION-win64-debug.zip (the debug information). The first holds exactly the
stripped exe, the task definition, the deployment guide, the README and the licence; the
exe carries its version resource and manifest and names the debug file, whose checksum
matches the one in the second zip. Prints one line per fault, ends with 1 if there was one."""

import os
import struct
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_pe_resources  # noqa: E402
import pe_file  # noqa: E402

SHIPPED = ["LICENSE", "README.md", "deploy/korvi-sar.task.xml", "docs/deploying.md", "korvi-sar.exe"]
DEBUG = ["korvi-sar.exe.debug"]


def members(archive):
    """The archive's files, sorted."""
    return sorted(n for n in archive.namelist() if not n.endswith("/"))


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
        exe = pe_file.PeFile(shipped.read("korvi-sar.exe"), "korvi-sar.exe")
    with zipfile.ZipFile(os.path.join(package_dir, base + "-debug.zip")) as debug:
        names = members(debug)
        if names != DEBUG:
            return [f"{base}-debug.zip holds {names}, expected {DEBUG}"]
        debug_data = debug.read("korvi-sar.exe.debug")

    debug_sections = [n for n in exe.section_names() if n.startswith(".debug")]
    # (A stripped exe keeps a COFF string table, for the long name .gnu_debuglink, but no symbol.)
    if debug_sections or exe.symbol_count:
        faults.append(f"korvi-sar.exe is not stripped: sections {debug_sections}, "
                      f"{exe.symbol_count} symbols")
    faults += [f"korvi-sar.exe: {f}" for f in check_pe_resources.faults(exe)]

    link = exe.section_data(".gnu_debuglink")
    if link is None:
        faults.append("korvi-sar.exe names no debug file (.gnu_debuglink)")
    else:
        name = link[:link.index(b"\0")].decode("ascii", "replace")
        crc_at = (len(name) + 1 + 3) & ~3
        crc = struct.unpack_from("<I", link, crc_at)[0]
        if name != "korvi-sar.exe.debug":
            faults.append(f"korvi-sar.exe names the debug file {name!r}, expected 'korvi-sar.exe.debug'")
        if crc != zlib.crc32(debug_data):
            faults.append("the debug file's checksum is not the one korvi-sar.exe names")
    debug_file = pe_file.PeFile(debug_data, "korvi-sar.exe.debug")
    if ".debug_info" not in debug_file.section_names():
        faults.append("korvi-sar.exe.debug holds no debug information (.debug_info)")
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
