#!/usr/bin/env python3
"""Checks what a built ansifold.exe declares about itself.

Reads the PE file directly, so it needs no Windows tools and works for a
32-bit build that this machine cannot run: the machine type, the console
subsystem, the DLLs that it imports (system DLLs only: the program ships as
one file), the version record and the manifest.

Usage: check_executable.py --machine {i386,amd64} path/to/ansifold.exe
Prints one line per failed check and exits with 1 when there is any.
"""

import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree

MACHINES = {"i386": (0x014C, 0x10B), "amd64": (0x8664, 0x20B)}
SUBSYSTEM_CONSOLE = 3

DIRECTORY_IMPORT = 1
DIRECTORY_RESOURCE = 2
DIRECTORY_DELAY_IMPORT = 13

RT_VERSION = 16
RT_MANIFEST = 24
MANIFEST_ID = 1

JAPANESE = 0x0411
SHIFT_JIS = 932
VERSION_1_0_0_0 = (1, 0, 0, 0)
STRING_TABLE = "041103a4"
EXPECTED_STRINGS = {
    "FileVersion": "1.00",
    "ProductVersion": "1.00",
    "ProductName": "ansifold",
    "OriginalFilename": "ansifold.exe",
}

# DLLs that every Windows installation carries. The run-time DLLs of the
# compiler (libstdc++, libgcc, libwinpthread) are not among them.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "msvcrt.dll", "ntdll.dll", "advapi32.dll",
    "gdi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll",
    "comctl32.dll", "comdlg32.dll", "version.dll", "ws2_32.dll", "winmm.dll",
    "bcrypt.dll", "crypt32.dll", "normaliz.dll", "secur32.dll", "rpcrt4.dll", "userenv.dll",
    "ucrtbase.dll",
}
SYSTEM_DLL_PREFIXES = ("api-ms-win-", "ext-ms-win-")


class FormatError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise FormatError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise FormatError("no PE signature")
        coff = pe + 4
        (self.machine, section_count, _, self.symbol_table, self.symbol_count,
         optional_size, _) = struct.unpack_from("<HHIIIHH", data, coff)
        optional = coff + 20
        self.magic = self.u16(optional)
        self.subsystem = self.u16(optional + 68)
        directories = optional + (112 if self.magic == 0x20B else 96)
        directory_count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(directory_count)]
        sections = optional + optional_size
        self.sections = [struct.unpack_from("<8sIIII", data, sections + 40 * i)
                         for i in range(section_count)]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for _, virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + rva - address
        raise FormatError("address 0x%x lies in no section" % rva)

    def directory(self, index):
        if index >= len(self.directories):
            return 0, 0
        return self.directories[index]

    def ascii_at(self, rva):
        start = self.offset_of(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imported_dlls(self):
        names = []
        rva, _ = self.directory(DIRECTORY_IMPORT)
        while rva:
            name_rva = self.u32(self.offset_of(rva) + 12)
            if not name_rva:
                break
            names.append(self.ascii_at(name_rva))
            rva += 20
        rva, _ = self.directory(DIRECTORY_DELAY_IMPORT)
        while rva:
            name_rva = self.u32(self.offset_of(rva) + 4)
            if not name_rva:
                break
            names.append(self.ascii_at(name_rva))
            rva += 32
        return names

    def resources(self):
        """Every resource as (type, name, language, bytes); ids only."""
        root, _ = self.directory(DIRECTORY_RESOURCE)
        if not root:
            return []
        base = self.offset_of(root)
        found = []

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                yield ident, target

        for type_id, type_dir in entries(0):
            for name_id, name_dir in entries(type_dir & 0x7FFFFFFF):
                for language, leaf in entries(name_dir & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset_of(data_rva)
                    found.append((type_id, name_id, language, self.data[start:start + size]))
        return found

    def has_symbol(self, wanted):
        """None when the symbol table was stripped."""
        if not self.symbol_table or not self.symbol_count:
            return None
        strings = self.symbol_table + 18 * self.symbol_count
        index = 0
        while index < self.symbol_count:
            entry = self.symbol_table + 18 * index
            raw = self.data[entry:entry + 8]
            if raw[:4] == b"\0\0\0\0":
                start = strings + self.u32(entry + 4)
                name = self.data[start:self.data.index(b"\0", start)]
            else:
                name = raw.rstrip(b"\0")
            if name.decode("latin-1") in wanted:
                return True
            index += 1 + self.data[entry + 17]
        return False


def align4(offset):
    return (offset + 3) & ~3


def version_block(data, offset):
    """One node of a version record: (key, value bytes, is text, children)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    if length < 6:
        raise FormatError("version record: a block of length %d" % length)
    end = offset + length
    key_start = offset + 6
    key_end = key_start
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    value_start = align4(key_end + 2)
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[value_start:min(value_start + value_size, end)]
    children = []
    child = align4(value_start + value_size)
    while child + 6 <= end:
        children.append(version_block(data, child))
        child = align4(child + struct.unpack_from("<H", data, child)[0])
    return key, value, value_type == 1, children


def text_of(value):
    return value.decode("utf-16-le").split("\0", 1)[0]


def check_version(record, language, failures):
    if language != JAPANESE:
        failures.append("version record: language 0x%04x, not 0x%04x" % (language, JAPANESE))
    key, fixed, _, children = version_block(record, 0)
    if key != "VS_VERSION_INFO" or len(fixed) < 52 or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        failures.append("version record: no fixed file information")
        return
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
    for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
        version = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if version != VERSION_1_0_0_0:
            failures.append("version record: %s version %s, not 1.0.0.0" %
                            (what, ".".join(map(str, version))))

    tables = {table: strings for name, _, _, blocks in children if name == "StringFileInfo"
              for table, _, _, strings in blocks}
    if STRING_TABLE not in tables:
        failures.append("version record: no string table %s (has %s)" %
                        (STRING_TABLE, sorted(tables)))
    else:
        strings = {name: text_of(value) for name, value, _, _ in tables[STRING_TABLE]}
        for name, expected in EXPECTED_STRINGS.items():
            if strings.get(name) != expected:
                failures.append("version record: %s is %r, not %r" %
                                (name, strings.get(name), expected))

    translations = [struct.unpack_from("<%dH" % (len(value) // 2), value)
                    for name, _, _, blocks in children if name == "VarFileInfo"
                    for var, value, _, _ in blocks if var == "Translation"]
    pairs = [tuple(words[i:i + 2]) for words in translations for i in range(0, len(words) - 1, 2)]
    if pairs != [(JAPANESE, SHIFT_JIS)]:
        failures.append("version record: translations %s, not [(0x0411, 932)]" %
                        [("0x%04x" % lang, page) for lang, page in pairs])


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def check_manifest(text, failures):
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        failures.append("manifest: not well-formed XML: %s" % error)
        return
    levels = [element for element in root.iter()
              if local_name(element.tag) == "requestedExecutionLevel"]
    if len(levels) != 1:
        failures.append("manifest: %d requestedExecutionLevel elements, not 1" % len(levels))
    else:
        attributes = levels[0].attrib
        if attributes.get("level") != "asInvoker":
            failures.append("manifest: level is %r, not 'asInvoker'" % attributes.get("level"))
        if attributes.get("uiAccess") != "false":
            failures.append("manifest: uiAccess is %r, not 'false'" % attributes.get("uiAccess"))
    # The program exists to fit names to the ANSI code page; nothing may move
    # that code page away from the system's.
    if any(local_name(element.tag) == "activeCodePage" for element in root.iter()):
        failures.append("manifest: sets an active code page")
    if any("utf-8" in (element.text or "").lower() for element in root.iter()):
        failures.append("manifest: names UTF-8 in an element")
    # Where the system allows paths past MAX_PATH, the program takes them.
    aware = [(element.text or "").strip().lower() for element in root.iter()
             if local_name(element.tag) == "longPathAware"]
    if aware != ["true"]:
        failures.append("manifest: longPathAware is %s, not ['true']" % aware)


def check_resources(image, failures):
    resources = image.resources()
    versions = [(lang, data) for kind, _, lang, data in resources if kind == RT_VERSION]
    if len(versions) != 1:
        failures.append("%d version records, not 1" % len(versions))
    else:
        check_version(versions[0][1], versions[0][0], failures)

    manifests = [(name, data) for kind, name, _, data in resources if kind == RT_MANIFEST]
    if [name for name, _ in manifests] != [MANIFEST_ID]:
        failures.append("manifests with ids %s, not exactly one with id 1" %
                        [name for name, _ in manifests])
    if manifests:
        check_manifest(manifests[0][1], failures)


def check_imports(image, failures):
    dlls = image.imported_dlls()
    if "kernel32.dll" not in (dll.lower() for dll in dlls):
        failures.append("imports: kernel32.dll missing from %s" % dlls)
    for dll in dlls:
        name = dll.lower()
        if name not in SYSTEM_DLLS and not name.startswith(SYSTEM_DLL_PREFIXES):
            failures.append("imports: %s is not a system DLL" % dll)


def check(image, machine):
    failures = []
    expected_machine, expected_magic = MACHINES[machine]
    if image.machine != expected_machine or image.magic != expected_magic:
        failures.append("machine 0x%04x (optional header 0x%03x), not %s" %
                        (image.machine, image.magic, machine))
    if image.subsystem != SUBSYSTEM_CONSOLE:
        failures.append("subsystem %d, not the console (3)" % image.subsystem)
    entry = image.has_symbol({"wmain", "_wmain"})
    if entry is None:
        print("note: no symbol table, so the Unicode entry point goes unchecked")
    elif not entry:
        failures.append("no wmain: the entry point is not the Unicode one")
    check_imports(image, failures)
    check_resources(image, failures)
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("executable")
    arguments = parser.parse_args()
    try:
        with open(arguments.executable, "rb") as file:
            image = PeImage(file.read())
        failures = check(image, arguments.machine)
    except (OSError, FormatError, struct.error, ValueError) as error:
        failures = ["cannot read %s: %s" % (arguments.executable, error)]
    for failure in failures:
        print("%s: %s" % (arguments.executable, failure))
    if not failures:
        print("%s: all checks passed" % arguments.executable)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
