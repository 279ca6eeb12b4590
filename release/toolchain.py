"""The toolchain that made the package, for the bill of materials' formulation: the Debian
package and version of each tool CMake ran (compilers, binutils, CMake, Ninja), of the
MinGW-w64 headers and runtime, and of the Python that runs the package step with the zlib it
deflates with (the archives' bytes come from both). A verifier installs exactly these
versions before comparing bytes. A file that no Debian package installed (a Python of one's
own) is recorded by its path and hash instead, so the record never claims a package."""
import hashlib
import os
import shutil
import sys
import zipfile
import zlib

import debian


def interpreter_files():
    """The running interpreter, the module that writes the archives, and the zlib library
    this process really loaded (built into Debian's python3.11, a module file elsewhere)."""
    files = [sys.executable, zipfile.__file__]
    if getattr(zlib, "__file__", None):
        files.append(zlib.__file__)
    with open("/proc/self/maps") as maps:
        files += sorted({line.split()[-1] for line in maps
                         if "/libz.so" in line and line.split()[-1].startswith("/")})
    return files


def component(kind, package, info, files):
    name, version, arch = info
    return {"type": kind, "bom-ref": "toolchain:" + package, "name": name, "version": version,
            "purl": debian.purl(name, version, arch),
            "properties": [{"name": "quib:used-file", "value": f} for f in sorted(files)]}


def unpackaged(path):
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    return {"type": "file", "bom-ref": "toolchain:" + path, "name": path,
            "description": "Not installed by a Debian package",
            "hashes": [{"alg": "SHA-256", "content": digest}]}


def formula(tools, runtime_files):
    """tools: the programs and headers CMake used (names are looked up on PATH); runtime_files:
    what the linker took into the exe."""
    tools = [os.path.abspath(shutil.which(t) or t) for t in tools]
    paths = sorted(set(tools) | set(runtime_files) | set(interpreter_files()))
    held = debian.owners(paths)
    info = debian.versions(set().union(*held.values()))
    by_package = {}
    for path in paths:
        for package in held[path]:
            by_package.setdefault(package, []).append(path)
    runs = lambda f: os.path.isfile(f) and os.access(f, os.X_OK)
    components = [component("application" if any(map(runs, files)) else "library", package, info[package], files)
                  for package, files in sorted(by_package.items())]
    components += [unpackaged(path) for path in paths if not held[path]]
    return {"bom-ref": "toolchain", "components": components, "properties": [
        {"name": "quib:python", "value": "%s (%s)" % (sys.executable, sys.version.replace("\n", " "))},
        {"name": "quib:zlib", "value": zlib.ZLIB_RUNTIME_VERSION}]}
