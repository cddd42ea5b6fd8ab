#!/usr/bin/env python3
"""Checks from the host, without Windows, that a built program carries its version resource
(RT_VERSION 1) and its application manifest (RT_MANIFEST 1, the one the loader reads in
place of a file beside the exe), and that the manifest redirects no class.

    check_pe_resources.py PROGRAM.exe

Prints one line per fault and ends with 1 if there was one, 0 otherwise, 2 if the file is
no PE file."""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402

NAMES = {pe_file.RT_VERSION: "RT_VERSION", pe_file.RT_MANIFEST: "RT_MANIFEST"}


def faults(program):
    tree = program.resources()
    found = []
    for kind, label in NAMES.items():
        if kind not in tree:
            found.append(f"no {label} resource")
        elif tree[kind] != [1]:
            found.append(f"{label} resources are named {tree[kind]}, expected just [1]")
    manifest = program.resource_data(pe_file.RT_MANIFEST, 1)
    if manifest is not None:
        text = manifest.decode("utf-8", "replace")
        if 'level="asInvoker"' not in text:
            found.append("the manifest does not ask to run as the invoker")
        for redirect in ("<file", "activatableClass", "comClass"):
            if redirect in text:
                found.append(f"the manifest redirects classes ({redirect})")
    return found


def main(argv):
    if len(argv) != 2:
        print("usage: check_pe_resources.py PROGRAM.exe", file=sys.stderr)
        return 2
    try:
        program = pe_file.read(argv[1])
        found = faults(program)
    except (OSError, struct.error, pe_file.PeError) as error:
        print(f"check_pe_resources.py: {error}", file=sys.stderr)
        return 2
    for fault in found:
        print(f"{argv[1]}: {fault}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
