#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the licence texts and notices the Windows distribution ships for the code it did not write.

    windows-notices.py QT_DIR OUT_DIR --qt BINARY... --runtime DLL...

QT_DIR is the folder scripts/windows-qt.sh keeps a Qt in (src/, build/); each --qt BINARY a file of its build
that is shipped (bin/Qt6Core.dll, plugins/platforms/qwindows.dll); each --runtime DLL a MinGW-w64 runtime DLL
of this machine. OUT_DIR receives:

    Qt-third-party-notices.txt  the notices of third-party code compiled into the shipped Qt binaries: Qt's own
                                attribution files (qt_attribution.json), each taken when a file in its scope was
                                read by the compiler for one of the shipped binaries (ninja's dependency records)
    LGPL-3.0.txt, GPL-3.0.txt   Qt's licence for this use, and the GPL it builds on, from Qt's source
    runtime-PACKAGE.txt         the Debian copyright file of the package each runtime DLL comes from
                                (libstdc++ and libgcc: GPL-3 with the GCC Runtime Library Exception;
                                winpthreads)
    README.txt                  which of these covers which shipped file
"""
import argparse
import json
import os
import subprocess
import sys
from pathlib import Path

# Attributions whose files are generators or inputs outside the compiled tree: the generated file the build
# compiles stands for them.
GENERATED = {
    "webgradients": "src/gui/painting/webgradients.cpp",
}


def ninja(build, *args):
    return subprocess.run(["ninja", "-C", str(build), "-t", *args], check=True, capture_output=True,
                          text=True).stdout


def objects_of(build, binaries):
    """The object files linked into the binaries, following the static libraries they link (Qt's bundled
    third-party libraries are static libraries of the build)."""
    objects, seen, todo = set(), set(), list(binaries)
    while todo:
        target = todo.pop()
        if target in seen:
            continue
        seen.add(target)
        rule, inputs, section = "", [], None
        for line in ninja(build, "query", target).splitlines():
            stripped = line.strip()
            if stripped.startswith("input:"):
                rule, section = stripped.split(":", 1)[1].strip(), "input"
            elif stripped == "outputs:":
                section = "outputs"
            elif section == "input" and not stripped.startswith("||"):
                inputs.append(stripped.lstrip("|").strip())
        if target not in binaries and "STATIC_LIBRARY" not in rule:
            continue
        for name in inputs:
            if name.endswith((".obj", ".o")):
                objects.add(name)
            elif name.endswith(".a"):
                todo.append(name)
    return objects


def files_read(build, objects):
    """Every file the compiler read for the objects, as absolute paths."""
    read = set()
    names = sorted(objects)
    for start in range(0, len(names), 200):
        for line in ninja(build, "deps", *names[start:start + 200]).splitlines():
            if line.startswith("    ") and line.strip():
                path = Path(line.strip())
                if not path.is_absolute():
                    path = Path(build) / path
                read.add(os.path.normpath(path))
    return read


def entries(source):
    for json_file in sorted(Path(source).rglob("qt_attribution.json")):
        data = json.loads(json_file.read_text(encoding="utf-8"), strict=False)
        for entry in data if isinstance(data, list) else [data]:
            yield json_file.parent, entry


def applies(folder, entry, read, source):
    if entry.get("Id") in GENERATED:
        return os.path.normpath(Path(source) / GENERATED[entry["Id"]]) in read
    base = os.path.normpath(folder / entry.get("Path", ""))
    files = entry.get("Files")
    if files:
        scopes = [os.path.normpath(Path(base) / name) for name in files.replace(",", " ").split()]
    else:
        scopes = [base]
    return any(path == scope or path.startswith(scope + os.sep) for scope in scopes for path in read)


def licence_files(entry):
    names = entry.get("LicenseFiles") or entry.get("LicenseFile") or []
    return [names] if isinstance(names, str) else names


def notices(source, read, shipped):
    parts = [
        "Third-party code in the Qt binaries shipped with Ostrand",
        "",
        "The Qt DLLs and plugins shipped with Ostrand (" + ", ".join(shipped) + ") are Qt, under the GNU Lesser",
        "General Public License version 3 (LGPL-3.0.txt, with the GNU General Public License version 3 it builds",
        "on, GPL-3.0.txt). Compiled into them is the following third-party code, each under its own licence,",
        "as Qt's source lists it.",
    ]
    taken = []
    for folder, entry in entries(source):
        if not applies(folder, entry, read, source):
            continue
        taken.append(entry.get("Id"))
        parts += ["", "=" * 78, entry.get("Name", entry.get("Id", "")), "=" * 78]
        for field in ("QtUsage", "Version", "Homepage", "License", "Copyright"):
            if entry.get(field):
                parts.append(f"{field}: {str(entry[field]).strip()}")
        for name in licence_files(entry):
            text = (folder / name).read_text(encoding="utf-8", errors="replace").rstrip()
            parts += ["", text]
    return "\n".join(parts) + "\n", taken


def debian_package(path):
    owner = subprocess.run(["dpkg", "-S", str(path)], capture_output=True, text=True)
    if owner.returncode != 0:
        # A path reached through a link is known to dpkg by the name it installed.
        owner = subprocess.run(["dpkg", "-S", os.path.realpath(path)], capture_output=True, text=True)
    if owner.returncode != 0:
        sys.exit(f"windows-notices: no Debian package owns {path}")
    return owner.stdout.split(":")[0].strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("qt_dir", type=Path)
    parser.add_argument("out", type=Path)
    parser.add_argument("--qt", nargs="+", required=True)
    parser.add_argument("--runtime", nargs="*", default=[])
    args = parser.parse_args()

    source = next((args.qt_dir / "src").glob("qtbase-everywhere-src-*"), None)
    build = args.qt_dir / "build"
    if source is None or not (build / "build.ninja").is_file():
        sys.exit(f"windows-notices: {args.qt_dir} holds no Qt source and build (scripts/windows-qt.sh makes them)")
    args.out.mkdir(parents=True, exist_ok=True)

    read = files_read(build, objects_of(build, args.qt))
    text, taken = notices(source, read, [Path(name).name for name in args.qt])
    (args.out / "Qt-third-party-notices.txt").write_text(text, encoding="utf-8")
    for name, licence in (("LGPL-3.0.txt", "LGPL-3.0-only.txt"), ("GPL-3.0.txt", "GPL-3.0-only.txt")):
        (args.out / name).write_text((source / "LICENSES" / licence).read_text(encoding="utf-8"), encoding="utf-8")
    packages = {}
    for dll in args.runtime:
        packages.setdefault(debian_package(dll), []).append(Path(dll).name)
    for package, dlls in packages.items():
        copyright_file = Path("/usr/share/doc") / package / "copyright"
        (args.out / f"runtime-{package}.txt").write_text(
            f"{' and '.join(dlls)} come{'s' if len(dlls) == 1 else ''} from Debian's package {package}; "
            "its copyright file:\n\n" + copyright_file.read_text(encoding="utf-8", errors="replace"),
            encoding="utf-8")
    installed = [name.split("/", 1)[1].replace("/", "\\") if name.startswith("plugins/") else Path(name).name
                 for name in args.qt]
    readme = [
        "Which licence covers which of the files shipped with Ostrand:",
        "",
        "ostrand.exe, ostrand-convert.exe and the samples: Ostrand's licence, the MIT licence (Ostrand.txt).",
        "",
        "Qt (" + ", ".join(installed) + "): the GNU Lesser General Public License version 3 (LGPL-3.0.txt) with",
        "the GNU General Public License version 3 it builds on (GPL-3.0.txt); the third-party code compiled into",
        "them: Qt-third-party-notices.txt. Their source: the folder source\\ beside this one says which of Debian's",
        "source packages they were built from, holds the changes made to it, and says how to build them again.",
    ]
    for package, dlls in packages.items():
        readme += ["", f"{', '.join(dlls)}: runtime-{package}.txt (where it refers to the GPL version 3, the text",
                   "is GPL-3.0.txt)."]
    (args.out / "README.txt").write_text("\n".join(readme) + "\n", encoding="utf-8")
    print("windows-notices: " + " ".join(taken))


if __name__ == "__main__":
    main()
