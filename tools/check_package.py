#!/usr/bin/env python3
"""check_package.py ZIP: the release package holds what it should.

One top folder with exactly the two programs (x86/ an i386 GUI PE32, x64/ an
x86-64 GUI PE32+, neither a test build, both asking for administrator rights
and aware of the screen's DPI), the Windows readme and SHA256SUMS.txt, whose
lines match every other file. Ends 0 when all holds, 1 with a line per fault,
77 (skipped) when there is no package yet.
"""
import hashlib
import struct
import sys
import zipfile
from pathlib import Path

PROGRAM = "8634FWUpgradeTool.exe"
EXPECTED = {f"x86/{PROGRAM}", f"x64/{PROGRAM}", "README-Windows.txt", "SHA256SUMS.txt"}
# Folder: (machine, optional-header magic)
MACHINES = {"x86": (0x014C, 0x10B), "x64": (0x8664, 0x20B)}
README_WORDS = ["start /wait", "%ERRORLEVEL%", "administrator", "/REPORT", "-10", "SHA256SUMS.txt"]


def pe_faults(name, data, machine, magic):
    faults = []
    if data[:2] != b"MZ":
        return [f"{name}: no MZ header"]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return [f"{name}: no PE signature"]
    found_machine = struct.unpack_from("<H", data, pe + 4)[0]
    found_magic = struct.unpack_from("<H", data, pe + 24)[0]
    subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0]
    if (found_machine, found_magic) != (machine, magic):
        faults.append(f"{name}: machine 0x{found_machine:04X}, magic 0x{found_magic:X}; "
                      f"expected 0x{machine:04X}, 0x{magic:X}")
    if subsystem != 2:
        faults.append(f"{name}: subsystem {subsystem}, not a GUI program")
    if "SpecialBuild".encode("utf-16-le") in data:
        faults.append(f"{name}: a test build (its version resource says SpecialBuild)")
    if b'level="requireAdministrator"' not in data:
        faults.append(f"{name}: its manifest does not ask for administrator rights")
    if b"<dpiAware" not in data:
        faults.append(f"{name}: its manifest declares no DPI awareness")
    return faults


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[0], file=sys.stderr)
        return 2
    package = Path(sys.argv[1])
    if not package.is_file():
        print(f"no package at {package}: cmake --build <build> --target package")
        return 77
    with zipfile.ZipFile(package) as archive:
        names = [n for n in archive.namelist() if not n.endswith("/")]
        tops = {n.split("/", 1)[0] for n in names}
        if len(tops) != 1:
            print(f"expected one top folder, found {sorted(tops)}")
            return 1
        top = tops.pop()
        files = {n.split("/", 1)[1]: archive.read(n) for n in names}

    faults = []
    if set(files) != EXPECTED:
        faults.append(f"files {sorted(files)}; expected {sorted(EXPECTED)}")
    for folder, (machine, magic) in MACHINES.items():
        path = f"{folder}/{PROGRAM}"
        if path in files:
            faults += pe_faults(path, files[path], machine, magic)
    readme = files.get("README-Windows.txt", b"").decode("utf-8", "replace")
    faults += [f"README-Windows.txt does not say {w}" for w in README_WORDS if w not in readme]

    sums = {}
    for line in files.get("SHA256SUMS.txt", b"").decode("ascii", "replace").splitlines():
        digest, _, path = line.partition("  ")
        sums[path] = digest
    for path, data in files.items():
        if path == "SHA256SUMS.txt":
            continue
        if sums.get(path) != hashlib.sha256(data).hexdigest():
            faults.append(f"SHA256SUMS.txt: {path} missing or wrong")
    faults += [f"SHA256SUMS.txt names {p}, which is not packed" for p in sums if p not in files]

    for fault in faults:
        print(fault)
    if not faults:
        print(f"{package.name}: {top}/ holds {', '.join(sorted(files))}; sums match")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
