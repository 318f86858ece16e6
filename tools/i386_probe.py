#!/usr/bin/env python3
"""Tells whether this machine runs 32-bit (i386) Linux programs, by running one.

Writes a minimal i386 ELF program that exits with 42 and runs it: exit 0
when it ran and answered 42, 1 when the kernel refused it (a kernel without
32-bit emulation answers "Exec format error"). No name or setting is trusted.
"""
import os
import struct
import subprocess
import sys
import tempfile

CODE = bytes([0xBB, 42, 0, 0, 0,    # mov ebx, 42
              0xB8, 1, 0, 0, 0,     # mov eax, 1 (exit)
              0xCD, 0x80])          # int 0x80
BASE = 0x08048000
HEADER, PROGRAM_HEADER = 52, 32


def probe_bytes():
    entry = BASE + HEADER + PROGRAM_HEADER
    size = HEADER + PROGRAM_HEADER + len(CODE)
    ident = b"\x7fELF" + bytes([1, 1, 1]) + bytes(9)  # 32-bit, little-endian, version 1
    header = ident + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, HEADER, 0, 0,
                                 HEADER, PROGRAM_HEADER, 1, 0, 0, 0)  # executable, i386
    program = struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)  # PT_LOAD r-x
    return header + program + CODE


def main():
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "i386-probe")
        with open(path, "wb") as f:
            f.write(probe_bytes())
        os.chmod(path, 0o755)
        try:
            status = subprocess.run([path], check=False).returncode
        except OSError:
            status = None
    return 0 if status == 42 else 1


if __name__ == "__main__":
    sys.exit(main())
