#!/usr/bin/env python3
"""Checks the emulated libraries of a 32-bit build (folder given): the default and the stdcall/
copies export exactly the bare names, and their exports return with a plain ret (cdecl) or
remove their argument words (stdcall), as a vendor library of either convention would."""
import re
import subprocess
import sys
from pathlib import Path

WORDS = {"StartDeviceDetection": 12, "WriteEEPROM": 2, "ReadEEPROM": 2, "CloseDevice": 0,
         "rmDeviceStart": 6, "rmSetEEPROMSize": 2, "rmBurnEEPROM": 4, "rmDeviceClose": 0}
EXPORTS = {"VT_HIDA": {"StartDeviceDetection", "WriteEEPROM", "ReadEEPROM", "CloseDevice"},
           "VT_HIDB": {"rmDeviceStart", "rmBurnEEPROM", "rmDeviceClose"},
           "VT_HIDC": {"rmDeviceStart", "rmSetEEPROMSize", "rmBurnEEPROM", "rmDeviceClose"}}


def objdump(*arguments):
    return subprocess.run(["i686-w64-mingw32-objdump", *arguments], check=True,
                          capture_output=True, text=True).stdout


def code_extents(library):
    """Start and end address of each export's code, from the link map beside the library: the
    shipped library is stripped, so its own symbol table is empty. Each function is compiled into
    a section of its own, and the map gives each section's address and size."""
    text = library.with_suffix(".map").read_text()
    sections = [(int(address, 16), int(address, 16) + int(size, 16)) for address, size in
                re.findall(r"^ \.text\S*\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s", text, re.M)]
    symbols = re.findall(r"^\s+0x([0-9a-f]+)\s+([A-Za-z_]\S*)$", text, re.M)
    return {name: extent for address, name in symbols
            for extent in sections if extent[0] == int(address, 16)}


def faults(library, stdcall):
    headers = objdump("-p", str(library))
    names = set(re.findall(r"^\s*\[\s*\d+\] (\S+)$", headers.split("[Ordinal/Name Pointer] Table")[1],
                           re.M))
    found = [] if names == EXPORTS[library.stem] else [f"exports {sorted(names)}"]
    extents = code_extents(library)
    for name in sorted(names & EXPORTS[library.stem]):
        popped = 4 * WORDS[name] if stdcall else 0
        symbol = f"{name}@{popped}" if stdcall else name
        if symbol not in extents:
            found.append(f"{symbol} is not in the link map")
            continue
        start, stop = extents[symbol]
        code = objdump("-d", f"--start-address={start:#x}", f"--stop-address={stop:#x}", str(library))
        returns = re.findall(r"\tret[ \t]*(\S*)$", code, re.M)
        wanted = f"${popped:#x}" if popped else ""
        if not returns or any(found_return != wanted for found_return in returns):
            found.append(f"{symbol} returns with {['ret ' + r for r in returns]}, not ret {wanted}")
    return [f"{library}: {fault}" for fault in found]


folder = Path(sys.argv[1])
problems = [fault for stem in EXPORTS for copy, stdcall in ((folder, False), (folder / "stdcall", True))
            for fault in faults(copy / f"{stem}.dll", stdcall)]
print("\n".join(problems) or "Emulated libraries: cdecl and stdcall exports as declared")
sys.exit(1 if problems else 0)
