"""The third-party notices of the program: the licences of the runtime code that the linker
put into the exe, read from the link's map and taken from the copyright files that Debian
installs with the toolchain. Nothing else is listed, so the notices follow the link. The
bill of materials (sbom.py) takes the pieces and their licences from here too.
Run: python3 notices.py <link map> [<output>]"""
import os
import re
import sys

MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-x86-64-dev/copyright"
GCC_COPYRIGHT = "/usr/share/doc/gcc-mingw-w64-x86-64-posix/copyright"
GPL3 = "/usr/share/common-licenses/GPL-3"

# Runtime pieces by the file the linker took them from; the rest of MinGW-w64's library
# folder (CRT, start-up code, import libraries of the system DLLs) is the MinGW-w64 runtime.
GCC_PIECES = {
    "libgcc.a": "libgcc", "libgcc_eh.a": "libgcc", "crtbegin.o": "libgcc", "crtend.o": "libgcc",
    "libstdc++.a": "libstdc++", "libsupc++.a": "libstdc++",
    "libssp.a": "libssp", "libssp_nonshared.a": "libssp",
}
WINPTHREADS = {"libpthread.a", "libwinpthread.a"}
RULE = "\n\n" + "=" * 78 + "\n\n"
MINGW_FILES = {"MinGW-w64 runtime": "mingw-w64-crt/", "winpthreads": "mingw-w64-libraries/winpthreads/"}
# GCC's runtime libraries are GPL 3 with the runtime library exception, which lets them be
# linked into a program under any licence.
GCC_LICENCE = "GPL-3.0-or-later WITH GCC-exception-3.1"
# Debian's names for the licences in MinGW-w64's copyright file, where SPDX has a name for
# them; the others become LicenseRef-<Debian's name>, their texts being in the notices.
SPDX = {"ZPL-2.1": "ZPL-2.1", "expat": "MIT", "ISC": "ISC", "BSD-3-clause": "BSD-3-Clause",
        "BSD-2-clause-NetBSD": "BSD-2-Clause", "LGPL-2+": "LGPL-2.0-or-later"}


def linked_files(map_text):
    """Archives that gave the link a member, and objects it loaded whole, by absolute path."""
    files = set()
    in_members = False
    for line in map_text.splitlines():
        if line.startswith("Archive member included"):
            in_members = True
        elif in_members and re.match(r"^\S.*\(.*\)$", line):
            files.add(line[:line.index("(")])
        elif in_members and line and not line[0].isspace():
            in_members = False
        if line.startswith("LOAD ") and line.endswith(".o"):
            files.add(line[5:])
    return {os.path.normpath(f) for f in files if os.path.isabs(f)}


def piece_of(path, build_dir):
    """The runtime piece a linked file belongs to, None for the program's own code."""
    name = os.path.basename(path)
    if build_dir and path.startswith(build_dir + os.sep):
        return None  # the program's own code and the import library of QuibTPApi.dll
    if name in GCC_PIECES:
        return GCC_PIECES[name]
    if name in WINPTHREADS:
        return "winpthreads"
    if path.endswith("x86_64-w64-mingw32/lib/" + name):
        return "MinGW-w64 runtime"
    raise SystemExit("notices: no licence known for %s" % path)


def pieces(files, build_dir):
    return {piece_of(path, build_dir) for path in files} - {None}


def dep5_files(text, file_prefixes):
    """The paragraphs of a machine-readable copyright file whose Files name one of the prefixes."""
    chosen = []
    for paragraph in text.strip().split("\n\n"):
        fields = re.match(r"Files:((?:.*\n?)(?:[ \t].*\n?)*)", paragraph)
        if fields and any(p == "*" or p.startswith(file_prefixes) for p in fields.group(1).split()):
            chosen.append(paragraph)
    return chosen


def dep5_licence(paragraph):
    return re.search(r"^License: *(.*)$", paragraph, re.M).group(1).strip()


def dep5_paragraphs(text, file_prefixes):
    """The paragraphs whose Files name one of the prefixes, then the text of each licence that
    they name without giving it."""
    chosen, wanted = dep5_files(text, file_prefixes), []
    for paragraph in chosen:
        if not re.search(r"^License:.*\n ", paragraph, re.M):
            wanted += [n for n in re.split(r"\s+(?:and|or)\s+", dep5_licence(paragraph)) if n not in wanted]
    for name in wanted:
        # The first place that gives the licence's text, on its own or inside another paragraph.
        body = re.search(r"^License: *%s *\n((?:[ \t].*(?:\n|$))+)" % re.escape(name), text, re.M)
        if body:
            chosen.append("License: %s\n%s" % (name, body.group(1).rstrip()))
    return "\n\n".join(chosen)


def licence(piece):
    """The piece's licence as an SPDX expression: every licence its notice copies, since the
    copyright files do not say which of their files end up in the link."""
    if piece in GCC_PIECES.values():
        return GCC_LICENCE
    terms = set()
    for paragraph in dep5_files(open(MINGW_COPYRIGHT, encoding="utf-8").read(), (MINGW_FILES[piece],)):
        choice = re.split(r"\s+or\s+", dep5_licence(paragraph))
        names = [[SPDX.get(n, "LicenseRef-" + re.sub(r"[^A-Za-z0-9.-]", "-", n))
                  for n in re.split(r"\s+and\s+", option)] for option in choice]
        if len(names) == 1:
            terms.update(names[0])
        else:
            terms.add("(%s)" % " OR ".join(" AND ".join(option) for option in names))
    return " AND ".join(sorted(terms))


def span(text, first, last):
    """The text from the first words to the last words, both included."""
    start = text.index(first)
    return text[start:text.index(last, start) + len(last)]


def notices(found):
    read = lambda path: open(path, encoding="utf-8").read()
    parts = ["QUIB Touch Pad Center includes the following runtime code, linked statically "
             "into QuibTPCenter.exe by the MinGW-w64 toolchain:\n\n" +
             "".join(" - %s\n" % piece for piece in sorted(found))]
    mingw = [prefix for piece, prefix in sorted(MINGW_FILES.items()) if piece in found]
    if mingw:
        parts.append("MinGW-w64 (%s), from Debian's %s:\n\n%s" % (
            ", ".join(p for p in ("MinGW-w64 runtime", "winpthreads") if p in found),
            MINGW_COPYRIGHT, dep5_paragraphs(read(MINGW_COPYRIGHT), tuple(mingw))))
    gcc = sorted(found & set(GCC_PIECES.values()))
    if gcc:
        text = read(GCC_COPYRIGHT)
        parts.append("GCC runtime libraries (%s), from Debian's %s:\n\n%s\n\n%s" % (
            ", ".join(gcc), GCC_COPYRIGHT,
            span(text, "GCC is Copyright", "libraries.\n - libvtv"),
            span(text, "GCC RUNTIME LIBRARY EXCEPTION", "requirements of the license of GCC.")))
        parts.append("The GNU General Public License, version 3, from Debian's %s:\n\n%s" % (
            GPL3, read(GPL3).strip()))
    return RULE.join(parts) + "\n"


def listed(text):
    """The pieces that a notices text names at its top."""
    return set(re.findall(r"^ - (.+)$", text.split(RULE)[0], re.M))


def main(map_path, output=None, build_dir=None):
    text = notices(pieces(linked_files(open(map_path).read()), build_dir))
    if output:
        with open(output, "w", encoding="utf-8", newline="\r\n") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main(*sys.argv[1:])
