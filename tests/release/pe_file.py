"""A small reader of the PE files we build: their sections, their COFF symbol table and the
types and names at the top of their resource tree. Standard library only, so the checks run
on any host without a Windows toolchain."""

import struct

RT_VERSION = 16
RT_MANIFEST = 24


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data, name="<data>"):
        self.name = name
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise PeError(f"{name}: not a PE file (no MZ header)")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError(f"{name}: not a PE file (no PE signature)")
        coff = pe + 4
        (self.machine, section_count, _, self.symbol_table, self.symbol_count, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, coff)
        optional = coff + 20
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic != 0x20B:
            raise PeError(f"{name}: not a 64-bit PE file")
        # 2: a GUI program (no console window of its own), 3: a console program.
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + 112
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        # The certificate table (an Authenticode signature): a file offset, not an address.
        self.certificate_offset, self.certificate_size = struct.unpack_from("<II", data, directories + 4 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            raw_name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((self._section_name(raw_name), rva, max(virtual_size, raw_size), raw_offset))

    def _u32(self, offset):
        if offset + 4 > len(self.data):
            raise PeError(f"{self.name}: truncated at offset {offset}")
        return struct.unpack_from("<I", self.data, offset)[0]

    def _section_name(self, raw):
        name = raw.rstrip(b"\0").decode("ascii", "replace")
        # Long names ("/4") live in the COFF string table after the symbols.
        if name.startswith("/") and name[1:].isdigit() and self.symbol_table:
            strings = self.symbol_table + 18 * self.symbol_count + int(name[1:])
            end = self.data.find(b"\0", strings)
            name = self.data[strings:end].decode("ascii", "replace")
        return name

    def section_names(self):
        return [name for name, _, _, _ in self.sections]

    def section_data(self, wanted):
        for name, _, size, offset in self.sections:
            if name == wanted:
                return self.data[offset:offset + size]
        return None

    def _offset(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise PeError(f"{self.name}: address 0x{rva:x} lies in no section")

    def _directory(self, offset):
        """The entries of one resource directory: (id or name, is_directory, target offset)."""
        named, numbered = struct.unpack_from("<HH", self.data, offset + 12)
        entries = []
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", self.data, offset + 16 + 8 * i)
            if key & 0x80000000:
                at = self.resource_base + (key & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            entries.append((key, bool(target & 0x80000000), self.resource_base + (target & 0x7FFFFFFF)))
        return entries

    def resources(self):
        """{type: [names]} of the resource tree; empty when the file has none."""
        if self.resource_rva == 0:
            return {}
        self.resource_base = self._offset(self.resource_rva)
        tree = {}
        for kind, is_directory, target in self._directory(self.resource_base):
            tree[kind] = [name for name, _, _ in self._directory(target)] if is_directory else []
        return tree

    def resource_data(self, kind, name):
        """The bytes of the first language of one resource, or None."""
        for type_key, _, type_dir in self._directory(self._resource_root()):
            if type_key != kind:
                continue
            for name_key, _, name_dir in self._directory(type_dir):
                if name_key != name:
                    continue
                for _, _, leaf in self._directory(name_dir):
                    rva, size = struct.unpack_from("<II", self.data, leaf)
                    start = self._offset(rva)
                    return self.data[start:start + size]
        return None

    def _resource_root(self):
        self.resource_base = self._offset(self.resource_rva)
        return self.resource_base


def _align4(offset):
    return (offset + 3) & ~3


def _version_block(data, offset):
    """One block of a version resource: (key, value bytes, children, length)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    if length < 6 or offset + length > len(data):
        raise PeError(f"version resource: a block at {offset} of length {length} runs past its end")
    end_of_key = offset + 6
    while data[end_of_key:end_of_key + 2] != b"\0\0":
        end_of_key += 2
        if end_of_key >= offset + length:
            raise PeError(f"version resource: the key of the block at {offset} has no end")
    key = data[offset + 6:end_of_key].decode("utf-16-le", "replace")
    value_at = _align4(end_of_key + 2)
    # A text value's length counts characters, a binary one's bytes.
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[value_at:value_at + value_size]
    children, child = [], _align4(value_at + value_size)
    while child < offset + length:
        block = _version_block(data, child)
        children.append(block)
        child = _align4(child + block[3])
    return key, value, children, length


def version_strings(version_resource):
    """{table: {name: text}} of a version resource's StringFileInfo ("040904B0": {...})."""
    key, _, children, _ = _version_block(version_resource, 0)
    if key != "VS_VERSION_INFO":
        raise PeError(f"version resource: the root is {key!r}, not VS_VERSION_INFO")
    tables = {}
    for child_key, _, tables_found, _ in children:
        if child_key == "StringFileInfo":
            for table, _, strings, _ in tables_found:
                tables[table] = {name: text.decode("utf-16-le", "replace").rstrip("\0")
                                 for name, text, _, _ in strings}
    return tables


def read(path):
    with open(path, "rb") as f:
        return PeFile(f.read(), path)
