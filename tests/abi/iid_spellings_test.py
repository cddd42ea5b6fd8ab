#!/usr/bin/env python3
"""Our own ABI declarations spell each IID twice: the MIDL_INTERFACE string, which MSVC's
__uuidof reads, and the __CRT_UUID_DECL bytes, which mingw-w64's __uuidof reads and the ABI
test under Wine pins. Nothing compiled ever compares the two, so this holds them together:
each interface's two spellings name the same IID, and neither is missing."""

import pathlib
import re
import sys
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
OWN_ABI = ROOT / "src" / "platform" / "windows" / "abi" / "own"
# The parameterized instances' aliases, which the __CRT_UUID_DECLs name.
PARAMETERIZED = ROOT / "src" / "platform" / "windows" / "abi" / "parameterized.h"

MIDL = re.compile(r'MIDL_INTERFACE\("([0-9a-fA-F-]{36})"\)\s*([^{]*?)\s*:\s*public\b')
CRT = re.compile(r"__CRT_UUID_DECL\(\s*([^,]+?)\s*,\s*((?:0x[0-9a-fA-F]+\s*,\s*){10}0x[0-9a-fA-F]+)\s*\)")
ALIAS = re.compile(r"using\s+(\w+)\s*=\s*([^;]+);")


def plain(name):
    """A type's name without namespace qualifiers or blanks, so that `NO::IFoo<NO::Bar*>`,
    `Networking::NetworkOperators::IFoo<Bar*>` and an alias's target all read `IFoo<Bar*>`."""
    return re.sub(r"\b\w+::", "", re.sub(r"\s+", "", name))


def guid_of_bytes(numbers):
    values = [int(n, 16) for n in re.split(r"\s*,\s*", numbers.strip())]
    data1, data2, data3, rest = values[0], values[1], values[2], values[3:]
    return "%08x-%04x-%04x-%s-%s" % (data1, data2, data3, "".join("%02x" % b for b in rest[:2]),
                                     "".join("%02x" % b for b in rest[2:]))


def spellings(text):
    """(name -> IID of the MIDL_INTERFACE string, name -> IID of the __CRT_UUID_DECL bytes)."""
    alias_text = PARAMETERIZED.read_text() + text
    aliases = {alias: plain(target) for alias, target in ALIAS.findall(alias_text)}
    midl = {}
    for guid, name in MIDL.findall(text):
        midl[plain(name)] = guid.lower()
    crt = {}
    for name, numbers in CRT.findall(text):
        short = plain(name)
        crt[aliases.get(short, short)] = guid_of_bytes(numbers)
    return midl, crt


def disagreements(text):
    """One line for each interface whose two spellings differ or whose one spelling is missing."""
    midl, crt = spellings(text)
    found = []
    for name in sorted(set(midl) | set(crt)):
        if name not in crt:
            found.append("%s: MIDL_INTERFACE %s has no __CRT_UUID_DECL" % (name, midl[name]))
        elif name not in midl:
            found.append("%s: __CRT_UUID_DECL %s has no MIDL_INTERFACE" % (name, crt[name]))
        elif midl[name] != crt[name]:
            found.append("%s: MIDL_INTERFACE %s, __CRT_UUID_DECL %s" % (name, midl[name], crt[name]))
    return found


class OwnDeclarations(unittest.TestCase):
    def test_every_interface_spells_one_iid_twice(self):
        headers = sorted(OWN_ABI.glob("*.h"))
        self.assertTrue(headers, "no headers in %s" % OWN_ABI)
        for header in headers:
            with self.subTest(header=header.name):
                text = header.read_text()
                midl, crt = spellings(text)
                self.assertEqual(len(midl), text.count("MIDL_INTERFACE("), "an interface the check could not read")
                self.assertEqual(len(crt), text.count("__CRT_UUID_DECL("), "a __CRT_UUID_DECL the check could not read")
                self.assertEqual(disagreements(text), [])


SAMPLE = '''
MIDL_INTERFACE("a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7")
IHandler : public IUnknown {};
template <>
MIDL_INTERFACE("21f0ce4f-8f33-5e71-a457-dda553b0d6bb")
ICompleted<Networking::NetworkOperators::Result*, Networking::NetworkOperators::Other*>
    : public IUnknown {};
namespace uuids {
using Completed = WF::ICompleted<NO::Result*, NO::Other*>;
}
__CRT_UUID_DECL(ABI::Windows::Foundation::IHandler,
                0xa4ed5c81, 0x76c9, 0x40bd, 0x8b, 0xe6, 0xb1, 0xd9, 0x0f, 0xb2, 0x0a, 0xe7)
__CRT_UUID_DECL(uuids::Completed,
                0x21f0ce4f, 0x8f33, 0x5e71, 0xa4, 0x57, 0xdd, 0xa5, 0x53, 0xb0, 0xd6, 0xbb)
'''


class Slips(unittest.TestCase):
    """A slip in either spelling, or one spelling left out, is reported; agreement is not."""

    def test_agreeing_spellings_pass(self):
        self.assertEqual(disagreements(SAMPLE), [])

    def test_each_slip_is_reported(self):
        cases = {
            "a digit of the string": ('"a4ed5c81-76c9', '"a4ed5c82-76c9', "IHandler"),
            "a byte of the declaration": ("0x0f, 0xb2", "0x0f, 0xb3", "IHandler"),
            "a word of a parameterized one": ("0x8f33", "0x8f34", "ICompleted<Result*,Other*>"),
            "the declaration left out": ("__CRT_UUID_DECL(uuids::Completed", "IGNORED(uuids::Completed",
                                         "ICompleted<Result*,Other*>"),
            "the string on another interface": ("IHandler : public", "IOther : public", "IHandler"),
        }
        for what, (old, new, name) in cases.items():
            with self.subTest(slip=what):
                self.assertIn(old, SAMPLE)
                found = disagreements(SAMPLE.replace(old, new, 1))
                self.assertTrue(any(line.startswith(name + ":") for line in found), found)


if __name__ == "__main__":
    sys.exit(unittest.main())
