#!/usr/bin/env python3
"""Checks, from the host, what cmd.exe would trip over in our batch scripts before it ran
them to the step that fails:

    check_cmd_scripts.py SCRIPT.cmd...

cmd reads a script line by line as it runs, so a fault on a path that is taken only on a
failure shows only on that failure. Here: CRLF line ends (cmd misreads labels in a file of
bare LF ends), ASCII only (the console's code page decides what else would be), every
`goto` and `call` to a label that the file defines, the parentheses of blocks balanced, and
an exit with 0 somewhere. Prints one line per fault, ends with 1 if
there was one."""

import re
import sys

GOTO = re.compile(r"\b(?:goto|call)\s+:?([A-Za-z_][\w]*)", re.IGNORECASE)
LABEL = re.compile(r"^:([A-Za-z_]\w*)\s*$")


def code_of(line):
    """The line without a quoted part or an echoed text, where a parenthesis means nothing."""
    line = re.sub(r'"[^"]*"', '""', line)
    return re.sub(r"\becho\b.*", "echo", line, flags=re.IGNORECASE)


def faults(name, data):
    found = []
    if any(b > 0x7F for b in data):
        found.append(f"{name}: not ASCII")
    text = data.decode("ascii", "replace")
    if re.search(r"(?<!\r)\n", text):
        found.append(f"{name}: a line ends in LF alone, not CRLF")
    lines = text.replace("\r\n", "\n").split("\n")
    labels = {m.group(1).lower() for m in map(LABEL.match, lines) if m}
    depth = 0
    for number, line in enumerate(lines, 1):
        if line.lstrip().lower().startswith("rem ") or LABEL.match(line):
            continue
        code = code_of(line)
        for target in GOTO.findall(code):
            if target.lower() not in labels and target.lower() != "eof":
                found.append(f"{name}:{number}: goto {target}: no such label")
        depth += code.count("(") - code.count(")")
        if depth < 0:
            found.append(f"{name}:{number}: a ')' closes no block")
            depth = 0
    if depth:
        found.append(f"{name}: {depth} block(s) not closed")
    if "exit /b 0" not in text.lower():
        found.append(f"{name}: never ends with exit code 0")
    return found


def main(argv):
    if len(argv) < 2:
        print("usage: check_cmd_scripts.py SCRIPT.cmd...", file=sys.stderr)
        return 2
    found = []
    for path in argv[1:]:
        try:
            with open(path, "rb") as f:
                found += faults(path, f.read())
        except OSError as error:
            print(f"check_cmd_scripts.py: {error}", file=sys.stderr)
            return 2
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
