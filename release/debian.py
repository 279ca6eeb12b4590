"""Which Debian package installed a file, at which version: what the bill of materials names
each linked piece and each tool by, as a package URL (pkg:deb/debian/<name>@<version>?arch=)
that a verifier can install again from Debian's snapshot archive."""
import os
import subprocess
import urllib.parse


def dpkg_names(path):
    """The names dpkg may know a file by. It records the path the package shipped, while with
    /lib a link to /usr/lib a running program sees /usr/lib/...; and a link's target may come
    from another package than the link (MinGW-w64's headers do)."""
    names = {path, os.path.realpath(path)}
    for name in list(names):
        parts = name.split("/")
        if len(parts) > 3 and parts[1] == "usr" and os.path.realpath("/" + parts[2]) == "/usr/" + parts[2]:
            names.add("/" + "/".join(parts[2:]))
    return names


def owners(paths):
    """For each path, the packages (with their architecture, as dpkg names them) that hold it
    under any of its names; none for a file that no package installed."""
    names = {path: dpkg_names(path) for path in paths}
    every = sorted(set().union(*names.values()))
    # dpkg-query exits 1 when some name is no package's; the others are still listed.
    listed = subprocess.run(["dpkg-query", "-S"] + every, capture_output=True, text=True).stdout if every else ""
    held = {}
    for line in listed.splitlines():
        packages, _, name = line.partition(": ")
        if not line.startswith("diversion "):
            held.setdefault(name, set()).update(p.strip() for p in packages.split(","))
    return {path: set().union(*(held.get(n, set()) for n in names[path])) for path in paths}


def versions(packages):
    """{package as dpkg names it: (name, version, architecture)} of installed packages."""
    if not packages:
        return {}
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package}\t${Version}\t${Architecture}\n"]
                         + sorted(packages), capture_output=True, text=True, check=True).stdout
    rows = [line.split("\t") for line in out.splitlines()]
    found = {}
    for package in packages:
        name = package.split(":")[0]
        arch = package.split(":")[1] if ":" in package else None
        match = [r for r in rows if r[0] == name and arch in (None, r[2])]
        if len(match) != 1:
            raise SystemExit("debian: no single installed version of %s" % package)
        found[package] = tuple(match[0])
    return found


def purl(name, version, arch):
    # The purl rules leave ':' (a Debian epoch) and '+' as they are; the rest of a Debian
    # version needs no encoding either.
    return "pkg:deb/debian/%s@%s?arch=%s" % (name, urllib.parse.quote(version, safe=":+"), arch)
