#!/usr/bin/env python3
"""Prints the include graph between the project's top-level folders and fails
when an include runs up the dependency order, when two folders include each
other, or when <windows.h> is included outside win32/.

With --cmake-build DIR it also reads `cmake --graphviz` of that build tree and
fails on a cycle between the project's libraries.

    python3 tools/include_graph.py [--cmake-build build/release]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

# The dependency order, lowest first. A folder may include its own headers
# and those of folders on a lower level; folders on one level are independent.
LEVELS = [
    ["platform", "payload"],
    ["base"],
    ["image", "ui", "trace"],
    ["hub"],
    ["update"],
    ["app"],
    ["sim", "win32"],
]
# Beside the order: they may include anything, nothing includes them.
BESIDE = ["tests", "tools", "bench", "fuzz"]
ONLY_WINDOWS = "win32"
SOURCE_SUFFIXES = (".h", ".cpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def level_of(folder):
    for number, folders in enumerate(LEVELS):
        if folder in folders:
            return number
    return None


def scan(root):
    """Yields (folder, path, line number, include text, bracket) of every include."""
    for folder in [f for level in LEVELS for f in level] + BESIDE:
        top = os.path.join(root, folder)
        for directory, _, files in os.walk(top):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if match:
                            yield folder, os.path.relpath(path, root), number, match.group(2), match.group(1)


def check_includes(root):
    edges = {}
    faults = []
    for folder, path, number, included, bracket in scan(root):
        if bracket == "<":
            if included.lower() in ("windows.h", "commctrl.h") and folder not in (ONLY_WINDOWS, "tests"):
                faults.append(f"{path}:{number}: <{included}> outside {ONLY_WINDOWS}/")
            continue
        target = included.split("/")[0]
        if "/" not in included or level_of(target) is None and target not in BESIDE:
            continue  # a header beside the including file, or a generated one
        if target == folder:
            continue
        edges.setdefault(folder, {}).setdefault(target, 0)
        edges[folder][target] += 1
        if folder in BESIDE or "tests" in path.split(os.sep)[1:]:
            continue  # tests may include anything, also those kept beside a host
        if target in BESIDE:
            faults.append(f"{path}:{number}: {folder}/ includes {included} from {target}/, which stands beside the order")
        elif level_of(target) >= level_of(folder):
            faults.append(f"{path}:{number}: {folder}/ includes {included}: {target}/ is not below {folder}/")
    return edges, faults


def print_graph(edges):
    print("include graph between top-level folders (includes counted):")
    for folder in sorted(edges, key=lambda f: (level_of(f) if level_of(f) is not None else 99, f)):
        targets = ", ".join(f"{t} ({n})" for t, n in sorted(edges[folder].items()))
        print(f"  {folder} -> {targets}")


def find_cycle(graph):
    """A list of nodes forming a cycle, or None."""
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in graph.get(node, ()):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def check_cmake(root, build):
    with tempfile.TemporaryDirectory() as scratch:
        dot = os.path.join(scratch, "targets.dot")
        subprocess.run(["cmake", f"--graphviz={dot}", "-S", root, "-B", build],
                       check=True, stdout=subprocess.DEVNULL)
        names = {}
        graph = {}
        with open(dot, encoding="utf-8") as text:
            for line in text:
                node = re.match(r'\s*"(node\d+)"\s*\[\s*label\s*=\s*"([^"]+)"', line)
                if node:
                    names[node.group(1)] = node.group(2)
                edge = re.match(r'\s*"(node\d+)"\s*->\s*"(node\d+)"', line)
                if edge:
                    graph.setdefault(edge.group(1), set()).add(edge.group(2))
    libraries = {n for n, label in names.items() if label.startswith("hbx_")}
    project = {names[a]: sorted(names[b] for b in targets if b in libraries)
               for a, targets in graph.items() if a in libraries}
    cycle = find_cycle(project)
    return [] if cycle is None else ["library cycle: " + " -> ".join(cycle)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake-build", help="a configured build tree whose library graph is checked too")
    args = parser.parse_args()
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    edges, faults = check_includes(root)
    print_graph(edges)
    cycle = find_cycle({a: set(b) for a, b in edges.items() if a not in BESIDE})
    if cycle:
        faults.append("folder cycle: " + " -> ".join(cycle))
    if args.cmake_build:
        faults += check_cmake(root, args.cmake_build)
    for fault in faults:
        print(fault, file=sys.stderr)
    print("dependency order: " + ("broken" if faults else "kept"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
