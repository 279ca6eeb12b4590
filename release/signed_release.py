"""The signed release, taken from the package step's archives and put together again, for
scripts/sign (`release` is `unpack`, signing, then `pack`):
  unpack BUILD FOLDER            writes into FOLDER the programs to sign: QuibTPCenter.exe (once,
                                 though the release archive and the kit both hold it),
                                 TryQuibTPCenter.exe, padctl.exe and the simulated QuibTPApi.dll
  pack FOLDER BUILD OUT [CA.pem] writes into OUT the release as published: the release archive
                                 and the kit with FOLDER's signed programs in place of the
                                 build's and their SHA256SUMS made again, the symbols archive
                                 as it is, QuibTPCenter.exe.p7 (the program's signature alone)
                                 and QuibTPCenter-<version>-SHA256SUMS for these archives
BUILD is the package step's folder; its archives are found by its sums file and must match it.
Each signed file is checked before anything is written: with its signature removed it is the
build's file byte for byte, its signature verifies (against the certificates of CA.pem when
given, for the signer and the time stamp authority alike; else against the system's), and for
the program, its detached signature attached to the build's exe gives the signed file again.
The kit gets the very bytes of the release archive's signed program, so the program carries one
signature, whose time stamp the kit shares. The archives are written as package.py writes them,
with the time the build's archives carry, so the same signed files give the same bytes.
Failures are said in one line, and then nothing is written: OUT appears whole or not at all."""
import calendar
import glob
import hashlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import package  # noqa: E402

PROGRAM = "QuibTPCenter.exe"
KIT_PROGRAMS = ("TryQuibTPCenter.exe", "padctl.exe", "QuibTPApi.dll")


def fail(text):
    raise SystemExit("sign: " + text)


def read_archive(path, data):
    """The archive's entries (name: bytes) and the time its entries carry."""
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            infos = archive.infolist()
            entries = {info.filename: archive.read(info) for info in infos}
    except zipfile.BadZipFile as e:
        fail("cannot read %s: %s" % (path, e))
    if not infos:
        fail("%s is empty" % path)
    return entries, calendar.timegm(infos[0].date_time + (0, 0, 0))


def read_build(build):
    """The package step's sums file name and its three archives (name: bytes), each checked
    against that file, keyed by what they hold: release, symbols and kit."""
    sums = glob.glob(os.path.join(build, "QuibTPCenter-*-SHA256SUMS"))
    if len(sums) != 1:
        fail("%s holds %d sums files of the package step (QuibTPCenter-<version>-SHA256SUMS), not one" %
             (build, len(sums)))
    with open(sums[0], encoding="utf-8") as f:
        lines = [line.partition("  ")[::2] for line in f.read().splitlines()]
    archives = {}
    for digest, name in lines:
        kind = "symbols" if name.endswith("-symbols.zip") else "kit" if name.endswith("-evalkit.zip") else "release"
        path = os.path.join(build, name)
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError as e:
            fail("cannot read %s: %s" % (path, e.strerror))
        if hashlib.sha256(data).hexdigest() != digest:
            fail("%s does not match %s" % (path, sums[0]))
        archives[kind] = (name, data)
    missing = sorted({"release", "symbols", "kit"} - archives.keys())
    if missing:
        fail("%s names no %s archive" % (sums[0], " or ".join(missing)))
    return os.path.basename(sums[0]), archives


def build_programs(archives):
    """The programs to sign, as the build made them (name: bytes), with the entries and time
    of the release archive and of the kit."""
    release = read_archive(*archives["release"])
    kit = read_archive(*archives["kit"])
    missing = [name for name in (PROGRAM,) + KIT_PROGRAMS if name not in kit[0]]
    if PROGRAM not in release[0] or missing:
        fail("the package step's archives lack %s" % ", ".join(missing or [PROGRAM]))
    if kit[0][PROGRAM] != release[0][PROGRAM]:
        fail("the kit's %s is not the release archive's" % PROGRAM)
    programs = {name: kit[0][name] for name in (PROGRAM,) + KIT_PROGRAMS}
    return programs, release, kit


def unpack(build, folder):
    _, archives = read_build(build)
    programs, _, _ = build_programs(archives)
    try:
        os.makedirs(folder, exist_ok=True)
        for name, data in programs.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    except OSError as e:
        fail("cannot write into %s: %s" % (folder, e.strerror))


def osslsigncode(*args):
    return subprocess.run(("osslsigncode",) + args, capture_output=True, text=True).returncode == 0


def check_signed(path, unsigned, trust, work):
    """The signed file's bytes, once it is the build's file plus a signature that verifies."""
    try:
        with open(path, "rb") as f:
            signed = f.read()
    except OSError as e:
        fail("cannot read %s: %s" % (path, e.strerror))
    removed = os.path.join(work, os.path.basename(path))
    if signed == unsigned or not osslsigncode("remove-signature", "-in", path, "-out", removed):
        fail("%s is not signed" % path)
    with open(removed, "rb") as f:
        if f.read() != unsigned:
            fail("%s is not the build's file plus a signature: its signed bytes differ" % path)
    if not osslsigncode("verify", *trust, "-in", path):
        against = trust[1] if trust else ("the system's certificate authorities (CA.pem, or QUIB_SIGN_CAFILE for "
                                          "`release`, names others)")
        fail("the signature of %s does not verify against %s" % (path, against))
    return signed


def detached_signature(signed_path, unsigned, trust, work):
    """The program's signature alone, once it gives the signed file again when attached to
    the build's exe: what the release page promises of it."""
    p7, build_exe, attached = (os.path.join(work, name) for name in (PROGRAM + ".p7", "build.exe", "attached.exe"))
    with open(build_exe, "wb") as f:
        f.write(unsigned)
    if not (osslsigncode("extract-signature", "-in", signed_path, "-out", p7) and
            osslsigncode("attach-signature", "-sigin", p7, *trust, "-in", build_exe, "-out", attached)):
        fail("cannot detach the signature of %s and attach it to the build's %s" % (signed_path, PROGRAM))
    with open(attached, "rb") as f, open(signed_path, "rb") as g:
        if f.read() != g.read():
            fail("the signature of %s, attached to the build's %s, does not give it again" % (signed_path, PROGRAM))
    with open(p7, "rb") as f:
        return f.read()


def signed_archive(entries, signed):
    entries = dict(entries)
    entries.update({name: data for name, data in signed.items() if name in entries})
    entries["SHA256SUMS"] = package.sha256sums({n: d for n, d in entries.items() if n != "SHA256SUMS"})
    return entries


def pack(folder, build, out, ca=None):
    sums, archives = read_build(build)
    programs, (release, epoch), (kit, kit_epoch) = build_programs(archives)
    if os.path.lexists(out) and not (os.path.isdir(out) and not os.listdir(out)):
        fail("%s already exists" % out)
    trust = ("-CAfile", ca, "-TSA-CAfile", ca) if ca else ()
    with tempfile.TemporaryDirectory() as work:
        signed = {name: check_signed(os.path.join(folder, name), data, trust, work) for name, data in programs.items()}
        signature = detached_signature(os.path.join(folder, PROGRAM), programs[PROGRAM], trust, work)
    staging = None
    try:
        staging = tempfile.mkdtemp(prefix=".signing-", dir=os.path.dirname(os.path.abspath(out)))
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(staging, 0o777 & ~umask)
        package.write_zip(os.path.join(staging, archives["release"][0]), signed_archive(release, signed), epoch)
        package.write_zip(os.path.join(staging, archives["kit"][0]), signed_archive(kit, signed), kit_epoch)
        published = {archives["symbols"][0]: archives["symbols"][1]}
        for name in (archives["release"][0], archives["kit"][0]):
            with open(os.path.join(staging, name), "rb") as f:
                published[name] = f.read()
        with open(os.path.join(staging, archives["symbols"][0]), "wb") as f:
            f.write(archives["symbols"][1])
        with open(os.path.join(staging, PROGRAM + ".p7"), "wb") as f:
            f.write(signature)
        with open(os.path.join(staging, sums), "wb") as f:
            f.write(package.sha256sums(published))
        os.replace(staging, out)
    except BaseException as e:
        # Ctrl+C too: a half-written staging folder is never left behind.
        if staging:
            shutil.rmtree(staging, ignore_errors=True)
        if isinstance(e, OSError):
            fail("cannot write %s: %s" % (out, e.strerror))
        raise


if __name__ == "__main__":
    {"unpack": unpack, "pack": pack}[sys.argv[1]](*sys.argv[2:])
