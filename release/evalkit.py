"""The evaluation kit's archive entries: the release's QuibTPCenter.exe (the very bytes of the
release archive's), the simulated QuibTPApi.dll, padctl.exe, the launcher TryQuibTPCenter.exe,
the walk it plays and EVALKIT.txt; package.py adds SHA256SUMS. The simulated library ships
here only, never in the release archive, and its version record must say what it is before
it goes in."""
import os

# Explorer's Details tab shows these two texts of a DLL's version record.
SAYS_SIMULATED = ("FileDescription", "ProductName")


def version_string(dll, key):
    """A string of the version record: the UTF-16 key, its terminator and padding to 4
    bytes, then the value up to its terminator; None when the key is not there."""
    at = dll.find((key + "\0").encode("utf-16-le"))
    if at < 0:
        return None
    start = at + 2 * (len(key) + 1)
    start += (-start) % 4
    end = start
    while dll[end:end + 2] != b"\0\0":
        end += 2
    return dll[start:end].decode("utf-16-le")


# Application control (AppLocker, WDAC) allows a file by its signer and these names: the
# maker's library's rule must not match the simulated one once the maker signs the kit.
OWN_NAMES = ("OriginalFilename", "InternalName")


def check_simulated(dll):
    for key in SAYS_SIMULATED:
        text = version_string(dll, key) or ""
        if "simulated" not in text.lower() or "not the maker" not in text.lower():
            raise SystemExit("package: the simulated QuibTPApi.dll's %s (%r) does not say it is simulated and "
                             "not the maker's library" % (key, text))
    for key in OWN_NAMES:
        text = version_string(dll, key) or ""
        if "simulated" not in text.lower():
            raise SystemExit("package: the simulated QuibTPApi.dll's %s (%r) is not a name of its own" % (key, text))


def check_launcher(launcher):
    """Explorer shows the launcher as the kit's, and it asks for no administrator rights."""
    text = version_string(launcher, "FileDescription") or ""
    if "evaluation kit launcher" not in text or b'level="asInvoker"' not in launcher:
        raise SystemExit("package: TryQuibTPCenter.exe lacks its version record (%r) or its asInvoker manifest" % text)


def entries(program, dll_path, padctl_path, launcher_path, source, crlf):
    with open(dll_path, "rb") as f:
        dll = f.read()
    check_simulated(dll)
    kit = {"QuibTPCenter.exe": program, "QuibTPApi.dll": dll}
    for name, path in (("padctl.exe", padctl_path), ("TryQuibTPCenter.exe", launcher_path),
                       ("walk.txt", os.path.join(source, "evalkit", "walk.txt"))):
        with open(path, "rb") as f:
            kit[name] = f.read()
    check_launcher(kit["TryQuibTPCenter.exe"])
    # Notepad and cmd.exe both read CRLF text.
    kit["walk.txt"] = crlf(kit["walk.txt"].decode("utf-8"))
    with open(os.path.join(source, "evalkit", "EVALKIT.txt"), encoding="utf-8") as f:
        kit["EVALKIT.txt"] = crlf(f.read())
    return kit
