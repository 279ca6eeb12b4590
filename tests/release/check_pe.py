"""Reads the hardening of the shipped exe from its headers: ASLR with high-entropy addresses,
DEP, terminal-server aware; a correct checksum; no section both writable and executable;
imports only from system DLLs and QuibTPApi.dll (read from the import table itself); stack protection linked in (its symbol file
names __stack_chk_fail), our own rather than libssp's, with its guard from RtlGenRandom and
no crypto provider. Then runs a test build that overruns a stack buffer: it must end with
STATUS_STACK_BUFFER_OVERRUN and write nothing.
Run: python3 check_pe.py <objdump> <exe> <wine-run> <exit_status.exe> <overrun probe's file name>"""
import os
import struct
import subprocess
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "release"))
from pe_finish import checksum_offset, pe_checksum  # noqa: E402

FLAGS = {"HIGH_ENTROPY_VA": 0x0020, "DYNAMIC_BASE": 0x0040, "NX_COMPAT": 0x0100,
         "TERMINAL_SERVER_AWARE": 0x8000}
IMPORTS = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll", "user32.dll",
           "wtsapi32.dll", "quibtpapi.dll"}
MEM_EXECUTE, MEM_WRITE = 0x20000000, 0x80000000
LIBSSP_TEXTS = [b"*** stack smashing detected ***", b"*** buffer overflow detected ***"]


def main(objdump, exe, runner, exit_status, overrun_probe):
    data = open(exe, "rb").read()
    failures = []
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    dll_characteristics = struct.unpack_from("<H", data, pe + 24 + 70)[0]
    failures += ["%s missing" % name for name, bit in FLAGS.items() if not dll_characteristics & bit]
    if struct.unpack_from("<I", data, checksum_offset(data))[0] != pe_checksum(data):
        failures.append("wrong checksum")
    table = pe + 24 + optional_size
    for n in range(sections):
        name, flags = data[table + 40 * n:table + 40 * n + 8], struct.unpack_from("<I", data, table + 40 * n + 36)[0]
        if flags & MEM_EXECUTE and flags & MEM_WRITE:
            failures.append("section %r writable and executable" % name.rstrip(b"\0"))
    pe = pefile.PE(exe, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    entries = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    dlls = {entry.dll.decode(errors="replace").lower() for entry in entries}
    if dlls != IMPORTS:
        failures.append("imports %s, expected %s" % (sorted(dlls), sorted(IMPORTS)))
    names = [item.name.decode(errors="replace") for entry in entries for item in entry.imports if item.name]
    crypto = [name for name in names if name.startswith("Crypt")]
    if crypto:
        failures.append("imports %s: a crypto provider loaded at start-up" % ", ".join(crypto))
    if "SystemFunction036" not in names:
        failures.append("stack guard not drawn from RtlGenRandom (advapi32 SystemFunction036)")
    symbols = subprocess.run([objdump, "-t", exe + ".debug"], capture_output=True, text=True, check=True).stdout
    if "__stack_chk_fail" not in symbols:
        failures.append("no stack protection")
    failures += ["libssp linked in: %r" % text for text in LIBSSP_TEXTS if text in data]
    overrun = subprocess.run([runner, exit_status, overrun_probe], capture_output=True, text=True)
    output = (overrun.stdout + overrun.stderr).replace("\r\n", "\n")
    if output != "exit status 0xC0000409\n":
        failures.append("stack buffer overrun, expected only exit status 0xC0000409: %r" % output)
    print("DllCharacteristics 0x%04x, %d sections, imports %s" % (dll_characteristics, sections, sorted(dlls)))
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main(*sys.argv[1:])
