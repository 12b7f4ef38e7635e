#!/usr/bin/env python3
"""Lists the resources of a Windows program as the loader finds them: one line per resource,
"<type> <name> <size>", the type and name as numbers or as their names (RCDATA is 10, the
manifest 24, the version 16). Reads the resource directory itself, so it needs nothing of Windows.

  pe_resources.py PROGRAM
"""
import struct
import sys


def main(path):
    data = open(path, "rb").read()
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE signature")
    sections, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    magic, = struct.unpack_from("<H", data, optional)
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
    if resource_rva == 0:
        return
    table = optional + optional_size
    spans = []
    for i in range(sections):
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        spans.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(rva):
        for address, size, pointer in spans:
            if address <= rva < address + size:
                return pointer + rva - address
        sys.exit(f"{path}: address {rva:#x} lies in no section")

    base = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                (length,) = struct.unpack_from("<H", data, at)
                label = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            else:
                label = str(name)
            yield label, target

    for type_label, type_target in entries(0):
        for name_label, name_target in entries(type_target & 0x7FFFFFFF):
            for _, language_target in entries(name_target & 0x7FFFFFFF):
                _, size = struct.unpack_from("<II", data, base + language_target)
                print(type_label, name_label, size)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
