"""The program's bill of materials, QuibTPCenter.cdx.json in the archive (CycloneDX 1.6 JSON):
the program and its hash; each runtime piece the linker took into it, with the Debian
package it came from and its licence, found from the same link map as the notices; the
maker's QuibTPApi.dll, which it needs and does not ship; and under formulation the toolchain
that made it. The same inputs give the same bytes: the serial number is made from the exe's
hash and the time is the archives' time. The BOM is checked against CycloneDX's published
schema (release/schema/, offline) and against the notices before it is written."""
import hashlib
import json
import os
import sys
import time
import uuid

import debian
import notices
import toolchain

SCHEMA_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "schema")
SCHEMA_ID = "http://cyclonedx.org/schema/bom-1.6.schema.json"
PROGRAM = "QuibTPCenter.exe"
MAKERS_LIBRARY = "QuibTPApi.dll"
LINKED = "quib:linked-file"


def serial_number(digest):
    """A name-based UUID (RFC 4122 version 5) of the exe's SHA-256: one serial per build."""
    return "urn:uuid:%s" % uuid.uuid5(uuid.NAMESPACE_URL, "sha256:" + digest)


def runtime(files, build_dir):
    """A component for each runtime piece and Debian package its linked files came from."""
    by_piece = {}
    for path in files:
        piece = notices.piece_of(path, build_dir)
        if piece:
            by_piece.setdefault(piece, []).append(path)
    held = debian.owners([path for paths in by_piece.values() for path in paths])
    for path, packages in held.items():
        if not packages:
            raise SystemExit("sbom: no Debian package holds %s, linked into the program" % path)
    info = debian.versions(set().union(*held.values()))
    components = []
    for piece, paths in sorted(by_piece.items()):
        for package in sorted(set().union(*(held[p] for p in paths))):
            name, version, arch = info[package]
            components.append({
                "type": "library", "bom-ref": "%s@%s" % (piece, name), "name": piece, "version": version,
                "description": "Linked statically into %s, from Debian's %s" % (PROGRAM, name),
                "scope": "required", "licenses": [{"expression": notices.licence(piece)}],
                "purl": debian.purl(name, version, arch),
                "properties": [{"name": LINKED, "value": p} for p in sorted(paths) if package in held[p]]})
    return components


def makers_library():
    # Scope "required": the program does not start without it ("excluded" would say it is
    # never reached at run time). That it is not shipped is said in words and a property.
    return {"type": "library", "bom-ref": MAKERS_LIBRARY, "name": MAKERS_LIBRARY,
            "description": "The touchpad maker's control library, installed with the maker's touchpad "
                           "software and not part of this archive. %s imports its functions by ordinal; "
                           "Windows binds them when it loads the program." % PROGRAM,
            "scope": "required", "properties": [{"name": "quib:shipped", "value": "no"}]}


def bom(program, version, link_files, build_dir, tools, epoch):
    digest = hashlib.sha256(program).hexdigest()
    pieces = runtime(link_files, build_dir)
    linked = [f for f in link_files if notices.piece_of(f, build_dir)]
    return {
        "$schema": SCHEMA_ID,
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "serialNumber": serial_number(digest),
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
            "lifecycles": [{"phase": "build"}],
            "component": {
                "type": "application", "bom-ref": PROGRAM, "name": "QUIB Touch Pad Center",
                "version": version, "description": "%s, a 64-bit Windows program" % PROGRAM,
                "hashes": [{"alg": "SHA-256", "content": digest}],
                "properties": [{"name": "quib:file", "value": PROGRAM}]}},
        "components": pieces + [makers_library()],
        "dependencies": [{"ref": PROGRAM, "dependsOn": sorted(c["bom-ref"] for c in pieces) + [MAKERS_LIBRARY]}],
        "formulation": [toolchain.formula(tools, linked)],
    }


def check_schema(document):
    try:
        import jsonschema
    except ImportError:
        raise SystemExit("sbom: %s cannot import jsonschema; install python3-jsonschema (scripts/setup)"
                         % sys.executable)
    store = {}
    for name in sorted(os.listdir(SCHEMA_FOLDER)):
        if name.endswith(".schema.json"):
            with open(os.path.join(SCHEMA_FOLDER, name), encoding="utf-8") as f:
                schema = json.load(f)
            # Known both by its $id and by the file name the other files refer to it by.
            store[schema["$id"]] = store["http://cyclonedx.org/schema/" + name] = schema

    def offline(uri):
        raise SystemExit("sbom: the schema refers to %s, which is not in %s" % (uri, SCHEMA_FOLDER))
    resolver = jsonschema.RefResolver(SCHEMA_ID, store[SCHEMA_ID], store=store,
                                      handlers={"http": offline, "https": offline})
    validator = jsonschema.Draft7Validator(store[SCHEMA_ID], resolver=resolver,
                                           format_checker=jsonschema.Draft7Validator.FORMAT_CHECKER)
    errors = ["%s: %s" % ("/".join(map(str, e.absolute_path)) or "top", e.message)
              for e in validator.iter_errors(document)]
    if errors:
        raise SystemExit("sbom: not a valid CycloneDX 1.6 BOM:\n  " + "\n  ".join(sorted(errors)))


def check_notices(document, notices_text):
    """The runtime pieces in the BOM are the ones the notices list."""
    in_bom = {c["name"] for c in document["components"] if any(p["name"] == LINKED for p in c.get("properties", []))}
    in_notices = notices.listed(notices_text)
    if in_bom != in_notices:
        raise SystemExit("sbom: the BOM and the notices disagree: only in the BOM %s, only in the notices %s"
                         % (sorted(in_bom - in_notices), sorted(in_notices - in_bom)))


def write(document, notices_text):
    check_schema(document)
    check_notices(document, notices_text)
    return (json.dumps(document, indent=2, ensure_ascii=False) + "\n").encode("utf-8")
