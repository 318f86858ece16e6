#!/usr/bin/python3
"""Checks a built Windows program without running it.

pe_check.py EXE --machine i386|amd64 [--payload-rc RC] [--special-build]

Read with Debian's PE reader (python3-pefile): the file is a GUI program of
the named architecture (PE32 for i386, PE32+ for amd64) that imports only
system DLLs; its manifest asks for administrator rights; it carries dialogs
102 and 100, icon 128, string 101 and version 3, 2, 2, 0 (marked as a special
build exactly when --special-build is given); and every carried file that the
generated resource script RC names is there under its type name and id, byte
for byte. Exit 0 when every check holds, else 1 with each failure on
standard error.
"""
import argparse
import re
import sys

import pefile

MACHINES = {
    "i386": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], pefile.OPTIONAL_HEADER_MAGIC_PE),
    "amd64": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS),
}
# What Windows itself provides; anything else would have to ship beside the
# program (the compiler's run-time libraries are linked in).
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "setupapi.dll",
    "version.dll", "comctl32.dll", "bcrypt.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
    "shlwapi.dll", "comdlg32.dll", "ntdll.dll", "ws2_32.dll", "uxtheme.dll", "cfgmgr32.dll",
}
RT = pefile.RESOURCE_TYPE
VS_FF_SPECIALBUILD = 0x20


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, what):
        if not condition:
            self.failures.append(what)


def resources(pe):
    """{(type, id): bytes} of every resource, types as numbers or names."""
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        rtype = str(type_entry.name) if type_entry.name is not None else type_entry.id
        if not hasattr(type_entry, "directory"):
            continue
        for id_entry in type_entry.directory.entries:
            rid = str(id_entry.name) if id_entry.name is not None else id_entry.id
            for lang in id_entry.directory.entries:
                data = lang.data.struct
                found[(rtype, rid)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def string_resource(table, number):
    """String `number` of a string-table block (16 counted UTF-16 strings)."""
    index, at = number % 16, 0
    for _ in range(index):
        at += 2 + 2 * int.from_bytes(table[at:at + 2], "little")
    length = int.from_bytes(table[at:at + 2], "little")
    return table[at + 2:at + 2 + 2 * length].decode("utf-16-le")


def check(path, machine, payload_rc, special_build):
    checks = Checks()
    pe = pefile.PE(path)
    want_machine, want_magic = MACHINES[machine]
    checks.expect(pe.FILE_HEADER.Machine == want_machine, f"machine {pe.FILE_HEADER.Machine:#x}, not {machine}")
    checks.expect(pe.OPTIONAL_HEADER.Magic == want_magic, f"optional header magic {pe.OPTIONAL_HEADER.Magic:#x}")
    checks.expect(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
                  f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not a GUI program")

    imports = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    checks.expect(bool(imports), "no imports at all")
    for dll in sorted(imports - SYSTEM_DLLS):
        checks.expect(False, f"imports {dll}, which is no system DLL")

    found = resources(pe)
    manifest = found.get((RT["RT_MANIFEST"], 1), b"").decode("utf-8", "replace")
    checks.expect(re.search(r'requestedExecutionLevel\s+level="requireAdministrator"', manifest) is not None,
                  "the manifest does not ask for administrator rights")
    for number in (102, 100):
        checks.expect((RT["RT_DIALOG"], number) in found, f"no dialog {number}")
    checks.expect((RT["RT_GROUP_ICON"], 128) in found, "no icon 128")
    table = found.get((RT["RT_STRING"], 101 // 16 + 1))
    checks.expect(table is not None and string_resource(table, 101) != "", "no string 101")

    version = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not version:
        checks.expect(False, "no version resource")
    else:
        fixed = version[0]
        numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                   fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
        checks.expect(numbers == (3, 2, 2, 0), f"file version {numbers}, not 3, 2, 2, 0")
        special = bool(fixed.FileFlags & fixed.FileFlagsMask & VS_FF_SPECIALBUILD)
        checks.expect(special == special_build,
                      "marked as a special build" if special else "not marked as a special (test) build")

    if payload_rc:
        with open(payload_rc, encoding="utf-8") as f:
            lines = [line for line in f if not line.startswith("//") and line.strip()]
        checks.expect(bool(lines), f"{payload_rc} names no carried file")
        for line in lines:
            match = re.fullmatch(r'(\d+) (\w+) "(.*)"\s*', line)
            if not match:
                checks.expect(False, f"unreadable line of {payload_rc}: {line.strip()}")
                continue
            rid, rtype, file = int(match[1]), match[2], match[3]
            with open(file, "rb") as carried:
                want = carried.read()
            got = found.get((rtype, rid))
            checks.expect(got is not None, f"no carried file {rtype} {rid}")
            checks.expect(got is None or got == want, f"{rtype} {rid} differs from {file}")

    for failure in checks.failures:
        print(f"{path}: {failure}", file=sys.stderr)
    return not checks.failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--payload-rc")
    parser.add_argument("--special-build", action="store_true")
    args = parser.parse_args()
    ok = check(args.exe, args.machine, args.payload_rc, args.special_build)
    print(f"{'ok  ' if ok else 'FAIL'} {args.exe}: {args.machine} GUI program, system DLLs only, "
          "administrator manifest, resources and version")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
