"""Writes the release archives into the build folder:
  <name>.zip          QuibTPCenter.exe, INSTALL.txt, THIRD-PARTY-NOTICES.txt,
                      QuibTPCenter.cdx.json (the bill of materials), SHA256SUMS
  <name>-symbols.zip  QuibTPCenter.exe.debug
  <name>-evalkit.zip  the evaluation kit (evalkit.py): the same QuibTPCenter.exe with the
                      simulated library, padctl and the launcher
  QuibTPCenter-<version>-SHA256SUMS  the SHA-256 of each of the three archives, for the
                      release page
Entries are sorted and carry one fixed time and fixed permissions, and no owner, so the same
inputs give the same archive bytes. The time is SOURCE_DATE_EPOCH when set, else the time of
the sources' last commit, else a fixed date. The exe goes in unchanged; the archive is read
back to prove it. The tools are the programs and headers the build used, for the bill of
materials' record of the toolchain.
Run: python3 package.py <build folder> <source folder> <name> <version> <exe> <link map>
                        <simulated dll> <padctl> <launcher> <tool>..."""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import evalkit  # noqa: E402
import notices  # noqa: E402
import sbom  # noqa: E402

FALLBACK_EPOCH = 1704067200  # 2024-01-01 00:00:00 UTC, for sources without git


def source_date_epoch(source):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return FALLBACK_EPOCH


def write_zip(path, entries, epoch):
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip cannot hold times before 1980
    with zipfile.ZipFile(path + ".tmp", "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3
            info.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, entries[name], compresslevel=9)
    os.replace(path + ".tmp", path)


def sha256sums(files):
    """sha256sum's lines for files (name: bytes), sorted by name."""
    return "".join("%s  %s\n" % (hashlib.sha256(files[n]).hexdigest(), n) for n in sorted(files)).encode()


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def main(build, source, name, version, exe, link_map, sim_dll, padctl, launcher, *tools):
    epoch = source_date_epoch(source)
    with open(exe, "rb") as f:
        program = f.read()
    with open(os.path.join(source, "release", "INSTALL.txt"), encoding="utf-8") as f:
        install = f.read()
    with open(link_map, encoding="utf-8", errors="replace") as f:
        linked = notices.linked_files(f.read())
    notices_text = notices.notices(notices.pieces(linked, os.path.abspath(build)))
    entries = {
        "QuibTPCenter.exe": program,
        "INSTALL.txt": crlf(install),
        "THIRD-PARTY-NOTICES.txt": crlf(notices_text),
        "QuibTPCenter.cdx.json": sbom.write(sbom.bom(program, version, linked, os.path.abspath(build),
                                                     tools, epoch), notices_text),
    }
    entries["SHA256SUMS"] = sha256sums(entries)
    archive = os.path.join(build, name + ".zip")
    write_zip(archive, entries, epoch)
    with open(exe + ".debug", "rb") as f:
        write_zip(os.path.join(build, name + "-symbols.zip"), {"QuibTPCenter.exe.debug": f.read()}, epoch)
    kit = os.path.join(build, name + "-evalkit.zip")
    kit_entries = evalkit.entries(program, sim_dll, padctl, launcher, source, crlf)
    kit_entries["SHA256SUMS"] = sha256sums(kit_entries)
    write_zip(kit, kit_entries, epoch)
    for path in (archive, kit):
        with zipfile.ZipFile(path) as check:
            if check.read("QuibTPCenter.exe") != program:
                raise SystemExit("package: the QuibTPCenter.exe of %s differs from %s" % (path, exe))
    archives = {}
    for archive_name in (name + ".zip", name + "-symbols.zip", name + "-evalkit.zip"):
        with open(os.path.join(build, archive_name), "rb") as f:
            archives[archive_name] = f.read()
    sums = "QuibTPCenter-%s-SHA256SUMS" % version
    with open(os.path.join(build, sums + ".tmp"), "wb") as f:
        f.write(sha256sums(archives))
    os.replace(os.path.join(build, sums + ".tmp"), os.path.join(build, sums))
    print("package: %s.zip, %s-symbols.zip, %s-evalkit.zip and %s (time %d)" % (name, name, name, sums, epoch))


if __name__ == "__main__":
    main(*sys.argv[1:])
