#!/usr/bin/env python3
"""Prints the target and the working folder of a Windows shortcut (.lnk),
one per line, as the shell would start it."""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR, UNICODE = 1, 2, 4, 8, 0x10, 0x80


def read(path):
    data = open(path, "rb").read()
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError(f"{path} is not a shortcut")
    flags = struct.unpack_from("<I", data, 20)[0]
    offset, target = 0x4C, ""
    if flags & HAS_ID_LIST:
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if flags & HAS_LINK_INFO:
        size, _, info_flags, _, base_path = struct.unpack_from("<5I", data, offset)
        if info_flags & 1:
            target = data[offset + base_path:data.index(b"\0", offset + base_path)].decode("latin-1")
        offset += size
    strings = {}
    for flag in (HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR):
        if flags & flag:
            count = struct.unpack_from("<H", data, offset)[0]
            width = 2 if flags & UNICODE else 1
            raw = data[offset + 2:offset + 2 + count * width]
            strings[flag] = raw.decode("utf-16-le" if width == 2 else "latin-1")
            offset += 2 + count * width
    return target or strings.get(HAS_RELATIVE_PATH, ""), strings.get(HAS_WORKING_DIR, "")


if __name__ == "__main__":
    print("\n".join(read(sys.argv[1])))
