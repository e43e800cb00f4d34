#!/usr/bin/env python3
"""Fails when a source file includes, or a CMake target links, a layer it may
not use (docs/ARCHITECTURE.md, "Layers"). It first makes sure that it catches
each kind of fault in a small planted tree, so a check that has gone blind
fails too. --root checks another tree."""
import os
import re
import sys
import tempfile

# Each layer and the layers it may use besides itself.
MAY_USE = {
    "core": set(),
    "platform": {"core"},
    "widgets": {"core", "platform"},
    "run": {"core", "platform", "widgets"},
    "ui": {"core", "platform", "widgets", "run"},
    "net": {"core", "platform", "widgets", "run"},
    "app": {"core", "platform", "widgets", "run", "ui", "net"},
    # Outside the program: the command-line tool, benchmarks and the fuzzer.
    # Benchmarks measure windows too, over the tests' fakes.
    "tools": {"core"},
    "bench": {"core", "platform", "widgets", "run", "ui", "net"},
    "fuzz": {"core"},
}
LAYERS = set(MAY_USE)
SOURCE = re.compile(r"\.(h|hpp|cpp|cc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
LINK = re.compile(r"target_link_libraries\s*\(([^)]*)\)", re.S)
LIBRARY = re.compile(r"\bringmere_([A-Za-z]+)\b")


def allowed(layer):
    return MAY_USE[layer] | {layer}


def check_file(path, rel, layer, tests, problems):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    for m in INCLUDE.finditer(text):
        bracket, name = m.groups()
        line = text.count("\n", 0, m.start()) + 1
        where = f"{rel}:{line}"
        if bracket == "<":
            # core is standard C++ only.
            if layer == "core" and re.match(r"Q[A-Za-z]*(/|$)|qt", name):
                problems.append(f"{where}: core includes Qt <{name}>")
            continue
        parts = name.split("/")
        if len(parts) < 2:
            continue  # beside the file, or made by the build (ui_*.h)
        top = parts[0]
        if top == "tests":
            target = parts[1] if len(parts) > 2 else None
            if not tests and layer != "bench":
                problems.append(f"{where}: program code includes a test file {name}")
            elif target in LAYERS and target not in allowed(layer):
                problems.append(f"{where}: tests of {layer} include tests of {target} ({name})")
            continue
        if top in LAYERS and top not in allowed(layer):
            problems.append(f"{where}: {layer} may not include {name}")


def check_cmake(path, rel, layer, problems):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for m in LINK.finditer(text):
        args = m.group(1).split()
        if not args:
            continue
        line = text.count("\n", 0, m.start()) + 1
        for lib in LIBRARY.findall(" ".join(args[1:])):
            if lib in LAYERS and lib not in allowed(layer):
                problems.append(f"{rel}:{line}: {args[0]} of {layer} may not link ringmere_{lib}")
        if layer in ("platform", "core") and "Qt6::Widgets" in args[1:]:
            problems.append(f"{rel}:{line}: {layer} may not link Qt6::Widgets")


def check(root):
    problems = []
    for layer in sorted(LAYERS):
        for tests in (False, True):
            base = os.path.join(root, "tests", layer) if tests else os.path.join(root, layer)
            for dirpath, _, files in os.walk(base):
                for name in sorted(files):
                    path = os.path.join(dirpath, name)
                    rel = os.path.relpath(path, root)
                    if SOURCE.search(name):
                        check_file(path, rel, layer, tests, problems)
                    elif name == "CMakeLists.txt":
                        check_cmake(path, rel, layer, problems)
    return problems


# A fault of each kind, and what the check must say about it.
PLANTS = {
    "run/actions.cpp": ('#include "ui/alarm.h"\n', "run may not include ui/alarm.h"),
    "core/x.cpp": ("#include <QString>\n", "core includes Qt"),
    "platform/y.h": ('#include "tests/run/fake_services.h"\n', "program code includes a test"),
    "tests/run/z_test.cpp": ('#include "tests/ui/f.h"\n', "tests of run include tests of ui"),
    "widgets/CMakeLists.txt": ("target_link_libraries(ringmere_widgets PUBLIC ringmere_run)\n",
                               "ringmere_widgets of widgets may not link ringmere_run"),
    "tools/CMakeLists.txt": ("target_link_libraries(ringmere-cli PRIVATE\n  ringmere_platform)\n",
                             "ringmere-cli of tools may not link ringmere_platform"),
    "ui/ok.cpp": ('#include "run/activealarm.h"\n#include "ui_alarm.h"\n#include <QWidget>\n', None),
}


def self_test():
    with tempfile.TemporaryDirectory() as root:
        for rel, (text, _) in PLANTS.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        found = "\n".join(check(root))
    missed = [rel for rel, (_, says) in PLANTS.items() if says and says not in found]
    extra = [rel for rel, (_, says) in PLANTS.items() if not says and rel in found]
    for rel in missed:
        print(f"self-test: the planted fault in {rel} went unnoticed", file=sys.stderr)
    for rel in extra:
        print(f"self-test: the allowed uses in {rel} were reported: {found}", file=sys.stderr)
    return not missed and not extra


def main():
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    if len(sys.argv) == 3 and sys.argv[1] == "--root":
        root = sys.argv[2]
    if not os.path.isfile(os.path.join(root, "core", "CMakeLists.txt")):
        print(f"no source tree at {root}", file=sys.stderr)
        return 2
    if not self_test():
        return 1
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} use(s) against the layers in docs/ARCHITECTURE.md", file=sys.stderr)
        return 1
    print("layers: every include and link goes downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
