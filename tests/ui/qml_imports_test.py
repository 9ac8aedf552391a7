#!/usr/bin/env python3
"""Every QML module the window reaches at run time, through our imports and those of the Qt
modules they load, is installed and comes from a package in packaging/runtime-packages.txt.

    qml_imports_test.py QMLIMPORTSCANNER QT_QML_DIR BUILT_QML_DIR SOURCE_UI_DIR PACKAGE_LIST [OUT]

With OUT, the qmldir file of every Qt module reached is written there, one a line."""
import json
import os
import subprocess
import sys

scanner, qt_qml, built_qml, source_ui, package_list = sys.argv[1:6]
out = sys.argv[6] if len(sys.argv) > 6 else None

# Registered from C++ by the program itself, and built into the QML engine.
BUILT_IN = {"Skiff.Model", "QtQml"}


def scan(root):
    out = subprocess.run([scanner, "-rootPath", root, "-importPath", built_qml, "-importPath",
                          qt_qml], check=True, capture_output=True, text=True).stdout
    return [entry for entry in json.loads(out) if entry.get("type") == "module"]


def optional_imports(module_dir):
    """Styles for other systems are 'optional import' lines: missing here by design."""
    qmldir = os.path.join(module_dir, "qmldir")
    lines = open(qmldir, encoding="utf-8") if os.path.exists(qmldir) else []
    return {w[2] for w in map(str.split, lines) if w[:2] == ["optional", "import"] and len(w) > 2}


listed = {line.strip() for line in open(package_list, encoding="utf-8")
          if line.strip() and not line.startswith("#")}

resolved, missing, optional = {}, {}, set()
pending, scanned = [source_ui], set()
while pending:
    root = pending.pop()
    scanned.add(root)
    for entry in scan(root):
        name, path = entry["name"], entry.get("path")
        if name in BUILT_IN:
            continue
        if path and os.path.exists(os.path.join(path, "qmldir")):
            if name not in resolved:
                resolved[name] = path
                optional |= optional_imports(path)
                # Modules of our own were scanned as sources; Qt's are scanned where installed.
                if not path.startswith(built_qml) and path not in scanned:
                    pending.append(path)
        else:
            missing.setdefault(name, root)

faults = []
for name, importer in sorted(missing.items()):
    if name not in optional:
        guess = "qml6-module-" + name.lower().replace(".", "-")
        faults.append(f"QML module {name} (reached from {importer}) is not installed; "
                      f"its Debian package is probably {guess}")
for name, path in sorted(resolved.items()):
    if path.startswith(built_qml):
        continue
    done = subprocess.run(["dpkg-query", "-S", os.path.join(path, "qmldir")],
                          capture_output=True, text=True)
    package = done.stdout.split(":")[0] if done.returncode == 0 else None
    if package is None:
        faults.append(f"QML module {name} at {path} belongs to no Debian package")
    elif package not in listed:
        faults.append(f"QML module {name} comes from {package}, "
                      f"which packaging/runtime-packages.txt does not list")

if out:
    with open(out, "w", encoding="utf-8") as listing:
        for path in sorted(p for p in resolved.values() if not p.startswith(built_qml)):
            listing.write(os.path.join(path, "qmldir") + "\n")

print(f"{len(resolved)} modules resolved, {len(missing)} missing")
for fault in faults:
    print("FAIL:", fault)
sys.exit(1 if faults else 0)
