"""The verdict of a timeline test that collects its failures: each on a line of its own, named,
and exit 1 when there is any (2 for a command line that does not give its arguments)."""

import sys


def run_as_test(name, check_all, usage="TOOL WORK_DIR"):
    """Runs check_all on the command line's arguments, one per word of usage."""
    wanted = len(usage.split())
    if len(sys.argv) != wanted + 1:
        print(f"usage: {name}.py {usage}", file=sys.stderr)
        sys.exit(2)
    found = check_all(*sys.argv[1:])
    for failure in found:
        print(f"{name}: {failure}")
    sys.exit(1 if found else 0)
