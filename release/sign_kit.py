"""The evaluation kit's archive taken apart and put together again for `scripts/sign kit`:
  unpack KIT.zip FOLDER NAME...   writes the kit's entries NAME... into FOLDER
  pack KIT.zip FOLDER SIGNED.zip  writes the kit with each file of FOLDER in place of the
                                  entry of its name, and its SHA256SUMS made again
The signed kit is written as package.py writes every archive (sorted entries, fixed
permissions, no owner), with the time the kit's own entries carry, so the same kit signed
with the same certificate, key and signing time gives the same bytes.
Failures are said in one line, and then nothing is written."""
import calendar
import os
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import package  # noqa: E402


def read_kit(kit):
    try:
        with zipfile.ZipFile(kit) as archive:
            infos = archive.infolist()
            entries = {info.filename: archive.read(info) for info in infos}
    except (OSError, zipfile.BadZipFile) as e:
        raise SystemExit("sign: cannot read the kit %s: %s" % (kit, e))
    if not infos:
        raise SystemExit("sign: the kit %s is empty" % kit)
    return entries, calendar.timegm(infos[0].date_time + (0, 0, 0))


def unpack(kit, folder, *names):
    entries, _ = read_kit(kit)
    missing = [name for name in names if name not in entries]
    if missing:
        raise SystemExit("sign: the kit %s has no %s" % (kit, ", ".join(missing)))
    for name in names:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(entries[name])


def pack(kit, folder, signed_kit):
    entries, epoch = read_kit(kit)
    for name in sorted(os.listdir(folder)):
        if name not in entries:
            raise SystemExit("sign: the kit %s has no %s" % (kit, name))
        with open(os.path.join(folder, name), "rb") as f:
            entries[name] = f.read()
    entries.pop("SHA256SUMS", None)
    entries["SHA256SUMS"] = package.sha256sums(entries)
    try:
        package.write_zip(signed_kit, entries, epoch)
    except OSError as e:
        raise SystemExit("sign: cannot write %s: %s" % (signed_kit, e))


if __name__ == "__main__":
    {"unpack": unpack, "pack": pack}[sys.argv[1]](*sys.argv[2:])
