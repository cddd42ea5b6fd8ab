"""Mechanical mutations of the logic's sources, for checking the suite against faults it has
not been written against.

Each operator changes one line (or swaps two) of a C++ file: delete a statement, flip a
comparison or a logical operator, change an integer literal, swap two adjacent statements, drop
a `!`. Comments and string literals are never touched. A seed picks the same mutations again.
"""

from __future__ import annotations

import pathlib
import random
import re

from mutation_list import Mutation

SOURCES = ("src/controller", "src/cellular", "src/wlan_power")

_COMPARISONS = {" == ": " != ", " != ": " == ", " <= ": " > ", " >= ": " < ", " < ": " >= ", " > ": " <= "}
_LOGICAL = {" && ": " || ", " || ": " && "}
_INTEGER = re.compile(r"(?<![\w.'])\d+(?:'\d+)*(?![\w.'])")
_NOT = re.compile(r"!(?!=)")
_STRING = re.compile(r"L?\"(?:[^\"\\]|\\.)*\"|'(?:[^'\\]|\\.)*'")
_KINDS = {"delete the": "delete", "swap two": "swap", "flip a": "flip", "change the": "integer", "drop a": "drop-not"}
_STATEMENT_OPENERS = ("return", "if", "for", "while", "else", "case", "default", "switch", "class", "struct",
                      "using", "namespace", "template", "public", "private", "protected", "#", "}", "{")


def _code_mask(line: str) -> str:
    """The line with string literals and the trailing comment blanked, so operators inside them
    are never chosen (positions stay those of the line)."""
    masked = _STRING.sub(lambda match: " " * len(match.group()), line)
    comment = masked.find("//")
    return masked if comment < 0 else masked[:comment] + " " * (len(masked) - comment)


def _is_comment(line: str) -> bool:
    stripped = line.strip()
    return stripped.startswith(("//", "/*", "*")) or stripped.startswith("#")


def _is_statement(lines: list[str], index: int) -> bool:
    """A whole statement on one line: it ends with ';', its brackets balance, and it starts a
    statement (the line before ends one, opens a block, or is a comment or blank)."""
    code = _code_mask(lines[index]).strip()
    if not code.endswith(";") or code.startswith(_STATEMENT_OPENERS):
        return False
    if code.count("(") != code.count(")") or code.count("{") != code.count("}"):
        return False
    before = index - 1
    while before >= 0 and (not lines[before].strip() or _is_comment(lines[before])):
        before -= 1
    if before < 0:
        return True
    previous = _code_mask(lines[before]).rstrip()
    return previous.endswith((";", "{", "}", ":"))


def _candidates(path: str, lines: list[str]) -> list[tuple[int, int, list[str], str]]:
    """Every mutation of one file: (first line, line count, new lines, what changed)."""
    found = []
    for index, line in enumerate(lines):
        if _is_comment(line) or not line.strip():
            continue
        code = _code_mask(line)
        if "virtual " in code:
            continue  # a seam's declaration: any change is a compile error or no change at all
        if _is_statement(lines, index):
            found.append((index, 1, [], "delete the statement"))
            after = index + 1
            if after < len(lines) and _is_statement(lines, after) and \
                    len(line) - len(line.lstrip()) == len(lines[after]) - len(lines[after].lstrip()):
                found.append((index, 2, [lines[after], line], "swap two adjacent statements"))
        for table, what in ((_COMPARISONS, "flip a comparison"), (_LOGICAL, "flip a logical operator")):
            for old, new in table.items():
                start = code.find(old)
                while start >= 0:
                    found.append((index, 1, [line[:start] + new + line[start + len(old):]], f"{what}: {old.strip()} to {new.strip()}"))
                    start = code.find(old, start + 1)
        for match in _INTEGER.finditer(code):
            digits = match.group().replace("'", "")
            value = int(digits)
            changed = 1 if value == 0 else (0 if value == 1 else value + 1)
            found.append((index, 1, [line[:match.start()] + str(changed) + line[match.end():]],
                          f"change the integer {match.group()} to {changed}"))
        for match in _NOT.finditer(code):
            found.append((index, 1, [line[:match.start()] + line[match.end():]], "drop a '!'"))
    return found


def _unique_context(text_lines: list[str], first: int, count: int) -> tuple[int, int]:
    """The smallest span around the changed lines whose text occurs once in the file."""
    text = "".join(text_lines)
    start, end = first, first + count
    while text.count("".join(text_lines[start:end])) != 1:
        if start > 0:
            start -= 1
        if end < len(text_lines) and text.count("".join(text_lines[start:end])) != 1:
            end += 1
    return start, end


def generate(root: pathlib.Path, count: int, seed: int) -> list[Mutation]:
    """`count` mutations drawn with `seed` from every candidate in the logic's sources."""
    every = []
    for folder in SOURCES:
        for path in sorted((root / folder).glob("*.[ch]*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            relative = path.relative_to(root).as_posix()
            lines = path.read_text(encoding="utf-8").splitlines(keepends=True)
            every += [(relative, lines) + candidate for candidate in _candidates(relative, lines)
                      if candidate[2] != lines[candidate[0]:candidate[0] + candidate[1]]]
    # Drawn in turn from each operator's candidates, so that the many statement lines do not
    # crowd out the few comparisons and `!`s.
    rng = random.Random(seed)
    by_kind: dict[str, list] = {}
    for candidate in every:
        by_kind.setdefault(_KINDS[" ".join(candidate[5].split(" ")[:2])], []).append(candidate)
    for group in by_kind.values():
        rng.shuffle(group)
    chosen = []
    while len(chosen) < count and any(by_kind.values()):
        for kind in sorted(by_kind):
            if by_kind[kind] and len(chosen) < count:
                chosen.append(by_kind[kind].pop())
    mutations = []
    for relative, lines, first, span, new_lines, what in sorted(chosen, key=lambda c: (c[0], c[2], c[5])):
        start, end = _unique_context(lines, first, span)
        replaced = lines[start:first] + new_lines + lines[first + span:end]
        stem = pathlib.PurePosixPath(relative).stem.replace("_", "-")
        kind = _KINDS[" ".join(what.split(" ")[:2])]
        mutations.append(Mutation(id=f"gen-{stem}-{first + 1}-{kind}", build="linux", file=relative,
                                  find="".join(lines[start:end]), replace="".join(replaced),
                                  fault=f"{what} (line {first + 1})", origin="generated"))
    # Two draws at the same line with the same operator get distinct ids.
    seen: dict[str, int] = {}
    unique = []
    for mutation in mutations:
        seen[mutation.id] = seen.get(mutation.id, 0) + 1
        if seen[mutation.id] > 1:
            mutation = Mutation(**{**mutation.__dict__, "id": f"{mutation.id}-{seen[mutation.id]}"})
        unique.append(mutation)
    return unique
