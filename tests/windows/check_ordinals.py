"""Reads a PE file's own import or export table (never a tool's text listing) and checks that
QuibTPApi.dll is bound by exactly the given ordinals and by no name, or that files import
Windows' known DLLs alone.

    check_ordinals.py imports EXE ORDINAL...   EXE imports QuibTPApi.dll by these ordinals alone
    check_ordinals.py exports DLL ORDINAL...   DLL exports these ordinals and no name
    check_ordinals.py known-imports FILE...    each FILE imports, also by delay, known DLLs alone
"""
import sys

import pefile

LIBRARY = "quibtpapi.dll"
# The values of HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs on Windows 10
# and 11, which the loader takes from the system's folder alone; so it does ntdll.dll and the API
# sets (api-ms-win-*). Any other DLL it looks for in the program's folder first.
KNOWN_DLLS = {"advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll", "gdi32.dll",
              "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll",
              "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
              "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "wow64.dll", "wow64cpu.dll",
              "wow64win.dll", "wowarmhw.dll", "ws2_32.dll", "xtajit.dll", "ntdll.dll"}


def imported(path):
    """(ordinal, name) of every entry imported from the library; None when it is not imported."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        if entry.dll.decode(errors="replace").lower() == LIBRARY:
            return [(item.ordinal if item.import_by_ordinal else None, item.name) for item in entry.imports]
    return None


def exported(path):
    """(ordinal, name) of every export; None when the file has no export table."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXPORT"]])
    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        return None
    return [(symbol.ordinal, symbol.name) for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols]


def foreign_imports(path):
    """Failures: each DLL the file imports, also by delay, that is not a known DLL; a file that
    cannot be read, or whose import table is not there."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
                                   pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]])
    except (OSError, pefile.PEFormatError) as error:
        return ["cannot read %s: %s" % (path, error)]
    if not hasattr(pe, "DIRECTORY_ENTRY_IMPORT"):
        return ["no import table in %s" % path]
    names = [entry.dll.decode(errors="replace")
             for entry in pe.DIRECTORY_ENTRY_IMPORT + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    print("%s imports %s" % (path, names))
    return ["%s imports %s, which Windows looks for in the file's folder first" % (path, name) for name in names
            if name.lower() not in KNOWN_DLLS and not name.lower().startswith("api-ms-win-")]


def check(kind, path, want):
    table = imported(path) if kind == "imports" else exported(path)
    if table is None:
        return ["no %s table for QuibTPApi.dll in %s" % (kind[:-1], path)]
    print("%s (ordinal, name): %s" % (kind, table))
    failures = ["by name: %s" % name.decode(errors="replace") for _, name in table if name]
    got = sorted(ordinal for ordinal, _ in table)
    if None in got or got != sorted(want):
        failures.append("ordinals %s, expected %s" % (got, sorted(want)))
    return failures


def main(kind, path, *ordinals):
    if kind == "known-imports":
        failures, passed = sum((foreign_imports(name) for name in (path,) + ordinals), []), "known DLLs alone"
    elif kind in ("imports", "exports"):
        failures, passed = check(kind, path, [int(n) for n in ordinals]), "%s by ordinal alone" % kind
    else:
        sys.exit(__doc__)
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("PASS: %s" % passed)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main(*sys.argv[1:])
