"""Reads a PE file's own import or export table (never a tool's text listing) and checks that
QuibTPApi.dll is bound by exactly the given ordinals and by no name.

    check_ordinals.py imports EXE ORDINAL...   EXE imports QuibTPApi.dll by these ordinals alone
    check_ordinals.py exports DLL ORDINAL...   DLL exports these ordinals and no name
"""
import sys

import pefile

LIBRARY = "quibtpapi.dll"


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
    if kind not in ("imports", "exports"):
        sys.exit(__doc__)
    failures = check(kind, path, [int(n) for n in ordinals])
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("PASS: %s by ordinal alone" % kind)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main(*sys.argv[1:])
