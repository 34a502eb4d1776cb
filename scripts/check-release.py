#!/usr/bin/env python3
"""Checks the release zip: the files a user needs, no driver library beside
Kelvra.exe, and each shipped program stripped and carrying its manifest."""
import re
import struct
import sys
import zipfile

WANTED = {"Kelvra.exe", "KelvraStation.exe", "kelvra-image.exe", "kelvra-cli.exe", "kelvra-ledger.exe", "Kelvra.ini",
          "README-Windows.txt",
          "emulated-drivers/VT_HIDA.dll", "emulated-drivers/VT_HIDB.dll", "emulated-drivers/VT_HIDC.dll",
          "emulated-drivers/README.txt", "emulated-drivers/try-kelvra.cmd",
          "emulated-drivers/stdcall/VT_HIDA.dll", "emulated-drivers/stdcall/VT_HIDB.dll",
          "emulated-drivers/stdcall/VT_HIDC.dll",
          "samples/vt-a.hex", "samples/vt-b.hex", "samples/vt-c.hex"}
PROGRAMS = ["Kelvra.exe", "KelvraStation.exe", "kelvra-image.exe", "kelvra-cli.exe", "kelvra-ledger.exe"]
MANIFEST_ENTRIES = {
    "asInvoker": r'requestedExecutionLevel\s+level="asInvoker"',
    "Windows 7": r"\{35138b9a-5d96-4fbd-8e2d-a2440225f93a\}",
    "Windows 8": r"\{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38\}",
    "Windows 8.1": r"\{1f676c76-80e1-4239-95bb-83d0f6d0da78\}",
    "Windows 10 and 11": r"\{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a\}",
    "common controls 6": r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"',
    "DPI awareness": r"<dpiAware[^>]*>true</dpiAware>",
}
RT_MANIFEST = 24


def sections(image):
    """(name, virtual address, raw offset, raw size) of each section, and the PE header offset."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    machine, count, _, symbols, symbol_count, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
    table = pe + 24 + optional_size
    found = []
    for index in range(count):
        raw = struct.unpack_from("<8sIIII", image, table + 40 * index)
        found.append((raw[0].rstrip(b"\0").decode("ascii", "replace"), raw[2], raw[4], raw[3]))
    return machine, symbols, symbol_count, found


def resource(image, rsrc, type_id):
    """The data of the first resource of a type, or None."""
    name, address, offset, size = rsrc

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, offset + directory + 12)
        for index in range(named + numbered):
            yield struct.unpack_from("<II", image, offset + directory + 16 + 8 * index)

    def first_leaf(target):
        while target & 0x80000000:
            target = next(entries(target & 0x7FFFFFFF))[1]
        data, length = struct.unpack_from("<II", image, offset + target)
        return image[offset + data - address:offset + data - address + length]

    for ident, target in entries(0):
        if ident == type_id:
            return first_leaf(target)
    return None


def check_program(name, image):
    problems = []
    machine, symbols, symbol_count, found = sections(image)
    if machine != 0x14C:
        problems.append(f"{name}: not a 32-bit x86 program (machine {machine:#x})")
    if symbols or symbol_count:
        problems.append(f"{name}: carries a symbol table")
    debug = [section[0] for section in found if section[0].startswith((".debug", "/"))]
    if debug:
        problems.append(f"{name}: carries debug sections {debug}")
    rsrc = next((section for section in found if section[0] == ".rsrc"), None)
    manifest = resource(image, rsrc, RT_MANIFEST) if rsrc else None
    if manifest is None:
        return problems + [f"{name}: has no manifest resource"]
    text = manifest.decode("utf-8", "replace")
    problems += [f"{name}: manifest lacks {entry}" for entry, pattern in MANIFEST_ENTRIES.items()
                 if not re.search(pattern, text)]
    if "activeCodePage" in text:
        problems.append(f"{name}: manifest sets an active code page")
    return problems


def main(path):
    archive = zipfile.ZipFile(path)
    members = {name.split("/", 1)[1]: name for name in archive.namelist() if "/" in name}
    problems = [f"lacks {name}" for name in sorted(WANTED - members.keys())]
    problems += [f"{name} sits beside Kelvra.exe" for name in members
                 if "/" not in name and re.fullmatch(r"(?i)vt_hid.*\.dll", name)]
    for program in PROGRAMS:
        if program in members:
            problems += check_program(program, archive.read(members[program]))
    for problem in problems:
        print(f"release package: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"Release package: {path} (programs stripped, manifests present, no driver library beside Kelvra.exe)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
