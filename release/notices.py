"""The third-party notices of the program: the licences of the runtime code that the linker
put into the exe, read from the link's map and taken from the copyright files that Debian
installs with the toolchain. Nothing else is listed, so the notices follow the link.
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


def pieces(files, build_dir):
    found = set()
    for path in files:
        name = os.path.basename(path)
        if build_dir and path.startswith(build_dir + os.sep):
            continue  # the program's own code and the import library of QuibTPApi.dll
        if name in GCC_PIECES:
            found.add(GCC_PIECES[name])
        elif name in WINPTHREADS:
            found.add("winpthreads")
        elif path.endswith("x86_64-w64-mingw32/lib/" + name):
            found.add("MinGW-w64 runtime")
        else:
            raise SystemExit("notices: no licence known for %s" % path)
    return found


def dep5_paragraphs(text, file_prefixes):
    """The paragraphs of a machine-readable copyright file whose Files name one of the
    prefixes, then the text of each licence that they name without giving it."""
    chosen, wanted = [], []
    for paragraph in text.strip().split("\n\n"):
        fields = re.match(r"Files:((?:.*\n?)(?:[ \t].*\n?)*)", paragraph)
        if fields and any(p == "*" or p.startswith(file_prefixes) for p in fields.group(1).split()):
            chosen.append(paragraph)
            if not re.search(r"^License:.*\n ", paragraph, re.M):
                licence = re.search(r"^License: *(.*)$", paragraph, re.M).group(1)
                wanted += [n for n in re.split(r"\s+(?:and|or)\s+", licence.strip()) if n not in wanted]
    for name in wanted:
        # The first place that gives the licence's text, on its own or inside another paragraph.
        body = re.search(r"^License: *%s *\n((?:[ \t].*(?:\n|$))+)" % re.escape(name), text, re.M)
        if body:
            chosen.append("License: %s\n%s" % (name, body.group(1).rstrip()))
    return "\n\n".join(chosen)


def span(text, first, last):
    """The text from the first words to the last words, both included."""
    start = text.index(first)
    return text[start:text.index(last, start) + len(last)]


def notices(found):
    read = lambda path: open(path, encoding="utf-8").read()
    parts = ["QUIB Touch Pad Center includes the following runtime code, linked statically "
             "into QuibTPCenter.exe by the MinGW-w64 toolchain:\n\n" +
             "".join(" - %s\n" % piece for piece in sorted(found))]
    mingw = [prefix for piece, prefix in (("MinGW-w64 runtime", "mingw-w64-crt/"),
             ("winpthreads", "mingw-w64-libraries/winpthreads/")) if piece in found]
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
    rule = "\n\n" + "=" * 78 + "\n\n"
    return rule.join(parts) + "\n"


def main(map_path, output=None, build_dir=None):
    text = notices(pieces(linked_files(open(map_path).read()), build_dir))
    if output:
        with open(output, "w", encoding="utf-8", newline="\r\n") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main(*sys.argv[1:])
